#pragma once

#include "FilterModel.h"

#include <string>

namespace tavolix::doctor {

// The filter table of an `iptables-save` output, its INPUT chain as the
// input path. A missing table leaves the chain empty: everything accepted.
FilterTable readIptablesSave(const std::string& text);

} // namespace tavolix::doctor

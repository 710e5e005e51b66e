#pragma once

#include "FilterModel.h"

#include <string>
#include <variant>
#include <vector>

namespace tavolix::doctor {

// The IPv4-relevant tables (families ip and inet) of an `nft -j list ruleset`
// output, or the reason it could not be read.
std::variant<std::vector<FilterTable>, std::string> readNftRuleset(const std::string& json);

} // namespace tavolix::doctor

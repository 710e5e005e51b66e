#pragma once

#include "FilterModel.h"
#include "Result.h"

#include <string>
#include <vector>

namespace tavolix::doctor {

// The IPv4-relevant tables (families ip and inet) of an `nft -j list ruleset`
// output, or the reason it could not be read.
Result<std::vector<FilterTable>> readNftRuleset(const std::string& json);

} // namespace tavolix::doctor

#pragma once

#include "MacCodec.h"
#include "PlanCheck.h"
#include "Result.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavolix::cli {

// Reads plan CSV: a "mac" column and any of the setting columns; other
// columns are ignored, so a search listing is a plan. Device texts lose the
// formula guard and their escapes again. Refused with every problem found,
// one per line.
Result<std::vector<PlanRow>> readPlan(std::string_view csv);

// The rows that the segment host with this name applies: those whose host cell
// is empty or names it. A row naming it among other hosts is refused.
Result<std::vector<PlanRow>> rowsForHost(std::vector<PlanRow> rows, std::string_view host);

// Twelve hex digits in either case, optionally in pairs joined by ':' or '-'.
std::optional<MacAddress> parseMacText(std::string_view text);

} // namespace tavolix::cli

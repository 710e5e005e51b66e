#pragma once

#include <string>
#include <vector>

namespace tavolix::cli {

// Columns aligned by their display width, two blanks apart, one line per row
// after the header line. The cells must already be printable text.
std::string renderTable(const std::vector<std::string>& header,
                        const std::vector<std::vector<std::string>>& rows);

} // namespace tavolix::cli

#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tavolix::cli {

// Columns aligned by their display width, two blanks apart, one line per row
// after the header line. The cells must already be printable text.
std::string renderTable(const std::vector<std::string>& header,
                        const std::vector<std::vector<std::string>>& rows);

// The same in at most maxWidth columns, as far as narrowing the cuttable
// columns can make it so: the widest of them gives up a column at a time,
// down to its header's width or minimumCutWidth; a cell too long for its
// column is cut as cutToWidth cuts it.
inline constexpr std::size_t minimumCutWidth = 6;
// The fewest columns such a table can take.
std::size_t narrowestWidth(const std::vector<std::string>& header,
                           const std::vector<std::vector<std::string>>& rows,
                           const std::vector<bool>& cuttable);
std::string renderTable(const std::vector<std::string>& header,
                        const std::vector<std::vector<std::string>>& rows,
                        const std::vector<bool>& cuttable, std::size_t maxWidth);

} // namespace tavolix::cli

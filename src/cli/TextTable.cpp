#include "TextTable.h"

#include "TextEscape.h"

#include <algorithm>

namespace tavolix::cli {
namespace {

void appendLine(std::string& out, const std::vector<std::string>& cells,
                const std::vector<std::size_t>& widths)
{
    std::string line;
    for (std::size_t column = 0; column < cells.size() && column < widths.size(); ++column) {
        if (column != 0)
            line += "  ";
        line += cells[column];
        if (column + 1 < cells.size())
            line.append(widths[column] - std::min(widths[column], displayWidth(cells[column])),
                        ' ');
    }
    // An empty last cell leaves no trailing blanks behind.
    line.erase(line.find_last_not_of(' ') + 1);
    out += line;
    out += '\n';
}

} // namespace

std::string renderTable(const std::vector<std::string>& header,
                        const std::vector<std::vector<std::string>>& rows)
{
    std::vector<std::size_t> widths(header.size(), 0);
    const auto measure = [&](const std::vector<std::string>& cells) {
        for (std::size_t column = 0; column < cells.size() && column < widths.size(); ++column)
            widths[column] = std::max(widths[column], displayWidth(cells[column]));
    };
    measure(header);
    std::for_each(rows.begin(), rows.end(), measure);
    std::string out;
    appendLine(out, header, widths);
    for (const auto& row : rows)
        appendLine(out, row, widths);
    return out;
}

} // namespace tavolix::cli

#include "TextTable.h"

#include "TextEscape.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <optional>

namespace tavolix::cli {
namespace {

std::vector<std::size_t> widestCells(const std::vector<std::string>& header,
                                     const std::vector<std::vector<std::string>>& rows)
{
    std::vector<std::size_t> widths(header.size(), 0);
    const auto measure = [&](const std::vector<std::string>& cells) {
        for (std::size_t column = 0; column < cells.size() && column < widths.size(); ++column)
            widths[column] = std::max(widths[column], displayWidth(cells[column]));
    };
    measure(header);
    std::for_each(rows.begin(), rows.end(), measure);
    return widths;
}

std::size_t lineWidth(const std::vector<std::size_t>& widths)
{
    return std::accumulate(widths.begin(), widths.end(), std::size_t{0}) +
           2 * (widths.empty() ? 0 : widths.size() - 1);
}

// How narrow a column may get: a cuttable one down to its header or
// minimumCutWidth, any other not at all.
std::size_t narrowest(const std::vector<std::string>& header, const std::vector<bool>& cuttable,
                      const std::vector<std::size_t>& widths, std::size_t column)
{
    const bool cut = column < cuttable.size() && cuttable[column];
    return cut ? std::min(widths[column], std::max(minimumCutWidth, displayWidth(header[column])))
               : widths[column];
}

// Narrowing the widest column first keeps the most of every text: a long
// name gives up columns before a short model does.
void narrowToFit(std::vector<std::size_t>& widths, const std::vector<std::string>& header,
                 const std::vector<bool>& cuttable, std::size_t maxWidth)
{
    for (std::size_t total = lineWidth(widths); total > maxWidth; --total) {
        std::optional<std::size_t> widest;
        for (std::size_t column = 0; column < widths.size(); ++column) {
            if (widths[column] > narrowest(header, cuttable, widths, column) &&
                (!widest || widths[column] > widths[*widest]))
                widest = column;
        }
        if (!widest)
            return;
        --widths[*widest];
    }
}

void appendLine(std::string& out, const std::vector<std::string>& cells,
                const std::vector<std::size_t>& widths)
{
    std::string line;
    for (std::size_t column = 0; column < cells.size() && column < widths.size(); ++column) {
        if (column != 0)
            line += "  ";
        const std::string cell = cutToWidth(cells[column], widths[column]);
        line += cell;
        if (column + 1 < cells.size())
            line.append(widths[column] - displayWidth(cell), ' ');
    }
    // An empty last cell leaves no trailing blanks behind.
    line.erase(line.find_last_not_of(' ') + 1);
    out += line;
    out += '\n';
}

} // namespace

std::size_t narrowestWidth(const std::vector<std::string>& header,
                           const std::vector<std::vector<std::string>>& rows,
                           const std::vector<bool>& cuttable)
{
    std::vector<std::size_t> widths = widestCells(header, rows);
    for (std::size_t column = 0; column < widths.size(); ++column)
        widths[column] = narrowest(header, cuttable, widths, column);
    return lineWidth(widths);
}

std::string renderTable(const std::vector<std::string>& header,
                        const std::vector<std::vector<std::string>>& rows)
{
    return renderTable(header, rows, {}, std::numeric_limits<std::size_t>::max());
}

std::string renderTable(const std::vector<std::string>& header,
                        const std::vector<std::vector<std::string>>& rows,
                        const std::vector<bool>& cuttable, std::size_t maxWidth)
{
    std::vector<std::size_t> widths = widestCells(header, rows);
    narrowToFit(widths, header, cuttable, maxWidth);
    std::string out;
    appendLine(out, header, widths);
    for (const auto& row : rows)
        appendLine(out, row, widths);
    return out;
}

} // namespace tavolix::cli

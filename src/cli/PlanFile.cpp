#include "PlanFile.h"

#include "Csv.h"
#include "TextEscape.h"

#include <algorithm>
#include <map>

namespace tavolix::cli {
namespace {

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool isDeviceText(Setting setting)
{
    return setting == Setting::Name || setting == Setting::PppoeAccount;
}

// Parses the value a non-empty cell asks for into the row's settings.
Result<> parseCell(DeviceSettings& into, Setting setting, std::string_view cell)
{
    if (!isDeviceText(setting))
        return parseSetting(into, setting, trimmed(cell));
    const auto bytes = unescapeDeviceText(unguardCell(cell));
    if (!bytes)
        return refused("has a backslash that starts no \\\\ or \\xHH escape");
    return parseSetting(into, setting, *bytes);
}

} // namespace

std::optional<MacAddress> parseMacText(std::string_view text)
{
    std::string digits;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool separator = (text[i] == ':' || text[i] == '-') && i % 3 == 2;
        if (!separator)
            digits += text[i];
    }
    return textToMac(digits);
}

Result<std::vector<PlanRow>> readPlan(std::string_view csv)
{
    const auto table = parseCsv(csv);
    if (!table)
        return refused("the plan is not CSV: " + table.failure().message);
    if (table->empty())
        return refused("the plan is empty");
    const CsvRow& header = table->front();
    std::optional<std::size_t> macColumn;
    std::optional<std::size_t> hostColumn;
    std::map<std::size_t, Setting> settingColumns;
    for (std::size_t column = 0; column < header.size(); ++column) {
        const std::string_view key = trimmed(header[column]);
        if (key == "mac")
            macColumn = column;
        else if (key == "host")
            hostColumn = column;
        else if (const auto setting = settingForKey(key))
            settingColumns[column] = *setting;
    }
    if (!macColumn)
        return refused("the plan has no mac column");
    std::vector<PlanRow> rows;
    std::string errors;
    const auto error = [&](const std::string& text) {
        errors += (errors.empty() ? "" : "\n") + text;
    };
    for (std::size_t index = 1; index < table->size(); ++index) {
        const CsvRow& cells = (*table)[index];
        PlanRow row;
        row.row = static_cast<int>(index + 1);
        const std::string where = "row " + std::to_string(row.row) + ": ";
        bool good = true;
        const std::string macText =
            *macColumn < cells.size() ? std::string(unguardCell(trimmed(cells[*macColumn]))) : "";
        if (const auto mac = parseMacText(macText)) {
            row.mac = *mac;
        } else {
            error(where + "mac \"" + macText + "\" is not a MAC address");
            good = false;
        }
        if (hostColumn && *hostColumn < cells.size())
            row.hosts = trimmed(unguardCell(cells[*hostColumn]));
        for (const auto& [column, setting] : settingColumns) {
            if (column >= cells.size() || cells[column].empty())
                continue;
            if (auto parsed = parseCell(row.asked, setting, cells[column]); !parsed) {
                error(where + std::string(settingKey(setting)) + " \"" + cells[column] + "\" " +
                      parsed.failure().message);
                good = false;
            }
        }
        if (good)
            rows.push_back(std::move(row));
    }
    if (!errors.empty())
        return refused(errors);
    return rows;
}

Result<std::vector<PlanRow>> rowsForHost(std::vector<PlanRow> rows, std::string_view host)
{
    std::vector<PlanRow> mine;
    std::string errors;
    for (PlanRow& row : rows) {
        bool named = row.hosts.empty();
        std::size_t names = 0;
        for (std::string_view rest = row.hosts; !rest.empty(); ++names) {
            const std::size_t comma = std::min(rest.find(','), rest.size());
            named = named || trimmed(rest.substr(0, comma)) == host;
            rest.remove_prefix(std::min(comma + 1, rest.size()));
        }
        if (!named)
            continue;
        // A device two hosts see would be changed from both: the plan must say which.
        if (names > 1)
            errors += (errors.empty() ? "" : "\n") + std::string("row ") + std::to_string(row.row) +
                      ": host \"" + escapeDeviceText(row.hosts) +
                      "\" names more than one host; a device is changed from one host only";
        else
            mine.push_back(std::move(row));
    }
    if (!errors.empty())
        return refused(errors);
    return mine;
}

} // namespace tavolix::cli

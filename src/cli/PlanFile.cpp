#include "PlanFile.h"

#include "Csv.h"
#include "TextEscape.h"

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

// The value a cell asks for; nothing when the cell is empty or bad (then
// problem says why).
std::optional<std::string> cellValue(Setting setting, std::string_view cell, std::string& problem)
{
    if (!isDeviceText(setting))
        return canonicalValue(setting, trimmed(cell), problem);
    const auto bytes = unescapeDeviceText(unguardCell(cell));
    if (!bytes) {
        problem = "has a backslash that starts no \\\\ or \\xHH escape";
        return std::nullopt;
    }
    return canonicalValue(setting, *bytes, problem);
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

std::vector<PlanRow> readPlan(std::string_view csv, std::vector<std::string>& errors)
{
    std::string parseError;
    const auto table = parseCsv(csv, parseError);
    if (!table) {
        errors.push_back("the plan is not CSV: " + parseError);
        return {};
    }
    if (table->empty()) {
        errors.push_back("the plan is empty");
        return {};
    }
    const CsvRow& header = table->front();
    std::optional<std::size_t> macColumn;
    std::map<std::size_t, Setting> settingColumns;
    for (std::size_t column = 0; column < header.size(); ++column) {
        const std::string_view key = trimmed(header[column]);
        if (key == "mac")
            macColumn = column;
        else if (const auto setting = settingForKey(key))
            settingColumns[column] = *setting;
    }
    if (!macColumn) {
        errors.push_back("the plan has no mac column");
        return {};
    }
    std::vector<PlanRow> rows;
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
            errors.push_back(where + "mac \"" + escapeDeviceText(macText) +
                             "\" is not a MAC address");
            good = false;
        }
        for (const auto& [column, setting] : settingColumns) {
            if (column >= cells.size() || cells[column].empty())
                continue;
            std::string problem;
            if (auto value = cellValue(setting, cells[column], problem)) {
                row.asked[setting] = std::move(*value);
            } else {
                errors.push_back(where + std::string(settingKey(setting)) + " \"" +
                                 escapeDeviceText(cells[column]) + "\" " + problem);
                good = false;
            }
        }
        if (good)
            rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace tavolix::cli

#include "DeviceListing.h"

#include "Csv.h"
#include "Settings.h"
#include "TextEscape.h"
#include "TextTable.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace tavolix::cli {
namespace {

Cell text(std::string_view deviceBytes)
{
    return {escapeDeviceText(deviceBytes), CellType::Text};
}

// Empty for a value the device did not tell: null in JSON.
Cell number(std::string digits)
{
    return {std::move(digits), CellType::Number};
}

Cell known(bool isKnown, std::string text)
{
    return {isKnown ? std::move(text) : std::string(), CellType::Plain};
}

Cell boolean(bool value)
{
    return {value ? "true" : "false", CellType::Boolean};
}

} // namespace

const std::vector<std::string>& listingColumns()
{
    static const std::vector<std::string> columns = {
        "mac",          "name",   "ip",      "mask",        "gateway",
        "http_port",    "mode",   "kind",    "version",     "pppoe_account",
        "interface",    "source", "on_link", "ip_conflict", "protocol",
        "manufacturer", "model",  "serial",  "service_url",
    };
    return columns;
}

std::vector<std::vector<Cell>> listingRows(const std::vector<Device>& devices)
{
    std::vector<std::vector<Cell>> rows;
    const std::vector<bool> conflicts = ipConflicts(devices);
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const Device& device = devices[i];
        const bool read = device.settingsRead;
        // The kind is our protocol's: an ONVIF device has none.
        const bool native = speaks(device, Protocols::Native);
        rows.push_back({
            known(macKnown(device), macToText(device.mac)),
            text(device.name),
            {ipv4Text(device.ip), CellType::Plain},
            known(read, ipv4Text(device.mask)),
            known(read, ipv4Text(device.gateway)),
            number(std::to_string(device.httpPort)),
            known(read, std::string(modeName(device.mode))),
            number(native ? std::to_string(static_cast<int>(device.kind)) : ""),
            text(device.version),
            text(device.pppoeAccount),
            text(device.interfaceName),
            {ipv4Text(device.source), CellType::Plain},
            boolean(device.onLink),
            boolean(conflicts[i]),
            {std::string(protocolsName(device.protocols)), CellType::Plain},
            text(device.manufacturer),
            text(device.model),
            text(device.serial),
            text(device.serviceUrl),
        });
    }
    return rows;
}

std::string csvListing(const std::vector<std::vector<Cell>>& rows)
{
    std::string out = csvLine(listingColumns());
    for (const auto& row : rows) {
        std::vector<std::string> fields;
        for (const Cell& cell : row) {
            fields.push_back(cell.type == CellType::Text    ? csvField(guardCell(cell.text), true)
                             : cell.type == CellType::Plain ? csvField(guardCell(cell.text))
                                                            : csvField(cell.text));
        }
        out += csvLine(fields);
    }
    return out;
}

std::string jsonListing(const std::vector<std::vector<Cell>>& rows)
{
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    const auto& columns = listingColumns();
    for (const auto& row : rows) {
        nlohmann::ordered_json device = nlohmann::ordered_json::object();
        for (std::size_t i = 0; i < row.size() && i < columns.size(); ++i) {
            const Cell& cell = row[i];
            if (cell.type == CellType::Number && cell.text.empty())
                device[columns[i]] = nullptr;
            else if (cell.type == CellType::Number)
                device[columns[i]] = std::stoll(cell.text);
            else if (cell.type == CellType::Boolean)
                device[columns[i]] = cell.text == "true";
            else
                device[columns[i]] = cell.text;
        }
        list.push_back(std::move(device));
    }
    return list.dump(2) + "\n";
}

std::string tableListing(const std::vector<std::vector<Cell>>& rows)
{
    // A terminal is narrow: a column empty on every row says nothing there.
    const auto& columns = listingColumns();
    std::vector<std::size_t> shown;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (std::any_of(rows.begin(), rows.end(),
                        [i](const auto& row) { return i < row.size() && !row[i].text.empty(); }))
            shown.push_back(i);
    }
    std::vector<std::string> header;
    for (const std::size_t i : shown)
        header.push_back(columns[i]);
    std::vector<std::vector<std::string>> texts;
    for (const auto& row : rows) {
        std::vector<std::string> line;
        for (const std::size_t i : shown)
            line.push_back(row[i].text);
        texts.push_back(std::move(line));
    }
    return renderTable(rows.empty() ? columns : header, texts);
}

std::string formatListing(OutputFormat format, const std::vector<Device>& devices)
{
    const auto rows = listingRows(devices);
    switch (format) {
    case OutputFormat::Csv:
        return csvListing(rows);
    case OutputFormat::Json:
        return jsonListing(rows);
    case OutputFormat::Table:
        break;
    }
    return tableListing(rows);
}

} // namespace tavolix::cli

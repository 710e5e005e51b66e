#include "DeviceListing.h"

#include "Csv.h"
#include "Settings.h"
#include "TextEscape.h"
#include "TextTable.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <nlohmann/json.hpp>

namespace tavolix::cli {
namespace {

Cell text(std::string_view deviceBytes)
{
    return {escapeDeviceText(deviceBytes), CellType::Text};
}

// Nothing for a value the device did not tell: empty, and null in JSON.
Cell number(std::optional<int64_t> value)
{
    return {value ? std::to_string(*value) : std::string(), CellType::Number, value};
}

Cell known(bool isKnown, std::string text)
{
    return {isKnown ? std::move(text) : std::string(), CellType::Plain};
}

Cell boolean(bool value)
{
    return {value ? "true" : "false", CellType::Boolean};
}

// A row's cell in a listing column; an empty one for a name not there.
Cell listingCell(const std::vector<Cell>& row, std::string_view column)
{
    const auto& columns = listingColumns();
    const auto index = static_cast<std::size_t>(std::find(columns.begin(), columns.end(), column) -
                                                columns.begin());
    return index < row.size() ? row[index] : Cell{};
}

// A row's cell in a table column.
Cell tableCell(const std::vector<Cell>& row, std::string_view column)
{
    if (column != "flags")
        return listingCell(row, column);
    std::string flags;
    for (const auto& [flag, set] :
         {std::pair{"conflict", listingCell(row, "ip_conflict").text == "true"},
          std::pair{"mac-conflict", listingCell(row, "mac_conflict").text == "true"},
          std::pair{"off-link", listingCell(row, "on_link").text == "false"}}) {
        if (set)
            flags += (flags.empty() ? "" : ",") + std::string(flag);
    }
    return {flags};
}

} // namespace

std::string jsonText(const nlohmann::ordered_json& value)
{
    return value.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

const std::vector<std::string>& listingColumns()
{
    static const std::vector<std::string> columns = {
        "mac",         "name",        "ip",           "mask",          "gateway",   "http_port",
        "mode",        "kind",        "version",      "pppoe_account", "interface", "source",
        "on_link",     "ip_conflict", "protocol",     "manufacturer",  "model",     "serial",
        "service_url", "auth",        "mac_conflict",
    };
    return columns;
}

std::vector<std::vector<Cell>> listingRows(const std::vector<Device>& devices)
{
    std::vector<std::vector<Cell>> rows;
    const std::vector<bool> conflicts = ipConflicts(devices);
    const std::vector<bool> sharedMacs = macConflicts(devices);
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
            number(device.httpPort),
            known(read, std::string(modeName(device.mode))),
            number(native ? std::optional<int64_t>(static_cast<int>(device.kind)) : std::nullopt),
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
            {std::string(loginSchemeName(device.login)), CellType::Plain},
            boolean(sharedMacs[i]),
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

namespace {

// The addresses a device told: all of its interface's where it listed them,
// else the one its settings hold.
nlohmann::ordered_json jsonAddresses(const Device& device)
{
    std::vector<DeviceAddress> told = device.addresses;
    if (told.empty() && device.settingsRead)
        told.push_back(
            {device.ip, static_cast<unsigned>(std::popcount(device.mask)),
             device.mode == AddressMode::Dhcp ? AddressOrigin::Dhcp : AddressOrigin::Manual});
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const DeviceAddress& address : told)
        list.push_back({{"ip", ipv4Text(address.address)},
                        {"prefix_length", address.prefixLength},
                        {"origin", addressOriginName(address.origin)}});
    return list;
}

} // namespace

std::string jsonListing(const std::vector<Device>& devices)
{
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    const auto& columns = listingColumns();
    const auto rows = listingRows(devices);
    for (std::size_t d = 0; d < rows.size(); ++d) {
        const auto& row = rows[d];
        nlohmann::ordered_json device = nlohmann::ordered_json::object();
        for (std::size_t i = 0; i < row.size() && i < columns.size(); ++i) {
            const Cell& cell = row[i];
            if (cell.type == CellType::Number && !cell.number)
                device[columns[i]] = nullptr;
            else if (cell.type == CellType::Number)
                device[columns[i]] = *cell.number;
            else if (cell.type == CellType::Boolean)
                device[columns[i]] = cell.text == "true";
            else
                device[columns[i]] = cell.text;
        }
        // What has no place in a table's cell.
        const Device& from = devices[d];
        device["clock_offset_s"] = from.clockOffset
                                       ? nlohmann::ordered_json(from.clockOffset->count())
                                       : nlohmann::ordered_json(nullptr);
        device["xaddr_host"] = escapeDeviceText(from.xaddrHost);
        device["addresses"] = jsonAddresses(from);
        list.push_back(std::move(device));
    }
    return jsonText(list);
}

const std::vector<std::string>& tableColumns()
{
    static const std::vector<std::string> columns = [] {
        auto all = listingColumns();
        all.emplace_back("flags");
        return all;
    }();
    return columns;
}

const std::vector<std::string>& installerColumns()
{
    static const std::vector<std::string> columns = {
        "mac", "name", "ip", "mask", "gateway", "mode", "protocol", "model", "auth", "flags",
    };
    return columns;
}

std::string commaJoined(const std::vector<std::string>& names)
{
    std::string joined;
    for (const std::string& name : names)
        joined += (joined.empty() ? "" : ",") + name;
    return joined;
}

Result<std::vector<std::string>> parseTableColumns(std::string_view list)
{
    const auto& valid = tableColumns();
    std::vector<std::string> columns;
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t end = std::min(list.find(',', start), list.size());
        std::string name(list.substr(start, end - start));
        if (std::find(valid.begin(), valid.end(), name) == valid.end())
            return refused("--columns: no column \"" + name + "\"; the columns are " +
                           commaJoined(valid));
        columns.push_back(std::move(name));
        start = end + 1;
    }
    return columns;
}

std::string tableListing(const std::vector<std::vector<Cell>>& rows, const TableLayout& layout)
{
    const bool chosen = !layout.chosen.empty();
    const auto& columns = chosen        ? layout.chosen
                          : layout.wide ? listingColumns()
                                        : installerColumns();
    std::vector<std::string> header;
    std::vector<bool> cuttable;
    std::vector<std::vector<std::string>> texts(rows.size());
    for (const std::string& column : columns) {
        std::vector<Cell> cells;
        for (const auto& row : rows)
            cells.push_back(tableCell(row, column));
        // A terminal is narrow: a column empty on every row says nothing
        // there, unless it was asked for.
        if (!chosen && !rows.empty() &&
            std::all_of(cells.begin(), cells.end(),
                        [](const Cell& cell) { return cell.text.empty(); }))
            continue;
        header.push_back(column);
        // Device texts may be cut; MACs, addresses and numbers never are.
        cuttable.push_back(!cells.empty() && cells.front().type == CellType::Text);
        for (std::size_t i = 0; i < cells.size(); ++i)
            texts[i].push_back(std::move(cells[i].text));
    }
    // A narrow terminal would wrap every line anyway when even cut texts
    // cannot make the table fit: then the texts keep what tableWidth allows.
    const std::size_t width = layout.wide ? std::numeric_limits<std::size_t>::max()
                              : narrowestWidth(header, texts, cuttable) <= layout.terminalWidth
                                  ? std::min(layout.terminalWidth, tableWidth)
                                  : tableWidth;
    return renderTable(header, texts, cuttable, width);
}

std::string formatListing(OutputFormat format, const std::vector<Device>& devices,
                          const TableLayout& layout)
{
    const auto rows = listingRows(devices);
    switch (format) {
    case OutputFormat::Csv:
        return csvListing(rows);
    case OutputFormat::Json:
        return jsonListing(devices);
    case OutputFormat::Table:
        break;
    }
    return tableListing(rows, layout);
}

} // namespace tavolix::cli

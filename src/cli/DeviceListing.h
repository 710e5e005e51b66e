#pragma once

#include "Device.h"
#include "Result.h"

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavolix::cli {

enum class OutputFormat
{
    Table,
    Csv,
    Json,
};

// The one JSON writer of listings and reports, indented, one line feed at the end. Device texts
// go in escaped; a byte that is not UTF-8 all the same becomes U+FFFD, never an exception.
std::string jsonText(const nlohmann::ordered_json& value);

// The listing's columns, in order: mac, name, ip, mask, gateway, http_port,
// mode, kind, version, pppoe_account, interface, source, on_link, ip_conflict,
// protocol, manufacturer, model, serial, service_url, auth, mac_conflict. They are the CSV header
// and the JSON keys; new columns only ever go at the end.
const std::vector<std::string>& listingColumns();

enum class CellType
{
    Plain,   // made by this program: MAC, addresses, mode, interface
    Text,    // from the device: escaped, and guarded against formulas in CSV
    Number,  // a JSON number
    Boolean, // a JSON true or false
};

struct Cell
{
    Cell(std::string printable = {}, CellType cellType = CellType::Plain,
         std::optional<int64_t> value = std::nullopt)
        : text(std::move(printable)), type(cellType), number(value)
    {}

    std::string text; // printable: device texts are escaped
    CellType type = CellType::Plain;
    std::optional<int64_t> number; // a Number cell's value; nothing: not told (null)
};

// One row of cells per device, in the given order; ip_conflict as
// ipConflicts() says, mac_conflict as macConflicts() does.
std::vector<std::vector<Cell>> listingRows(const std::vector<Device>& devices);

std::string csvListing(const std::vector<std::vector<Cell>>& rows);
// Always an array: the listing's columns, then what JSON alone carries:
// clock_offset_s, xaddr_host and addresses (ip, prefix_length, origin).
std::string jsonListing(const std::vector<Device>& devices);

// The table's columns are the listing's and "flags": "conflict" for an
// ip_conflict, "mac-conflict" for a mac_conflict, "off-link" for a row not
// on_link.
const std::vector<std::string>& tableColumns();
// What an installer reads first: mac, name, ip, mask, gateway, mode,
// protocol, model, auth, flags.
const std::vector<std::string>& installerColumns();

// "mac,name,...": names as --columns takes them.
std::string commaJoined(const std::vector<std::string>& names);

// A comma-separated list of table columns, kept in its order; refused,
// naming the valid columns, when one is unknown.
Result<std::vector<std::string>> parseTableColumns(std::string_view list);

// The most a table takes of a terminal: a wide window has 120 columns.
inline constexpr std::size_t tableWidth = 120;

// Which columns a table shows. By default the installer's columns that hold
// something; chosen ones exactly, also when empty. Both fit in terminalWidth
// when cutting long device texts can make them, else in tableWidth. Wide:
// every listing column that holds something, nothing cut.
struct TableLayout
{
    std::vector<std::string> chosen; // table columns; none for the default
    bool wide = false;
    std::size_t terminalWidth = tableWidth;
};

std::string tableListing(const std::vector<std::vector<Cell>>& rows,
                         const TableLayout& layout = {});

std::string formatListing(OutputFormat format, const std::vector<Device>& devices,
                          const TableLayout& layout = {});

} // namespace tavolix::cli

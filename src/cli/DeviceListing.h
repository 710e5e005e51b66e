#pragma once

#include "Device.h"

#include <string>
#include <string_view>
#include <vector>

namespace tavolix::cli {

enum class OutputFormat
{
    Table,
    Csv,
    Json,
};

// The listing's columns, in order: mac, name, ip, mask, gateway, http_port,
// mode, kind, version, pppoe_account, interface, source, on_link, ip_conflict,
// protocol, manufacturer, model, serial, service_url. They are the CSV header
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
    std::string text; // printable: device texts are escaped
    CellType type = CellType::Plain;
};

// One row of cells per device, in the given order; ip_conflict as
// ipConflicts() says.
std::vector<std::vector<Cell>> listingRows(const std::vector<Device>& devices);

std::string csvListing(const std::vector<std::vector<Cell>>& rows);
std::string jsonListing(const std::vector<std::vector<Cell>>& rows); // always an array
// Leaves out the columns that are empty on every row.
std::string tableListing(const std::vector<std::vector<Cell>>& rows);

std::string formatListing(OutputFormat format, const std::vector<Device>& devices);

} // namespace tavolix::cli

#include "ConfigurationFields.h"

#include "MacCodec.h"
#include "ReplyParser.h"

#include <algorithm>

namespace tavolix {
namespace {

// A port as the user typed it: 1 to 5 decimal digits, value 1..65535.
std::optional<uint16_t> typedPort(std::string_view text)
{
    if (text.empty() || text.size() > valueSize(Tag::HttpPort) ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int value = leadingNumber(text);
    if (value < 1 || value > 65535)
        return std::nullopt;
    return static_cast<uint16_t>(value);
}

} // namespace

Result<AskedSettings> askedSettingsFrom(const ConfigurationFields& fields,
                                        const DeviceRecord& device)
{
    AskedSettings asked;
    if (fields.mac) {
        asked.mac = textToMac(*fields.mac);
        if (!asked.mac)
            return refused("Invalid MAC address !!");
    }
    asked.name = fields.name;
    asked.pppoeAccount = fields.pppoeAccount;
    asked.pppoePassword = fields.pppoePassword;
    const struct
    {
        const std::string& typed;
        const std::optional<Ipv4>& stored;
        std::optional<Ipv4>& asked;
        const char* refusal;
    } addresses[] = {
        {fields.ipAddress, device.ipAddress, asked.ipAddress, "Invalid IP address !!"},
        {fields.subnetMask, device.subnetMask, asked.subnetMask, "Invalid subnet mask !!"},
        {fields.gateway, device.gateway, asked.gateway, "Invalid gateway !!"},
    };
    for (const auto& address : addresses) {
        if (address.typed == ipv4Text(address.stored))
            continue;
        address.asked = parseIpv4(address.typed);
        if (!address.asked)
            return refused(address.refusal);
    }
    if (leadingNumber(fields.httpPort) != device.httpPort) {
        asked.httpPort = typedPort(fields.httpPort);
        if (!asked.httpPort)
            return refused("Invalid HTTP port !!");
    }
    asked.pppoe = fields.pppoe;
    asked.dhcp = fields.dhcp;
    return asked;
}

} // namespace tavolix

#pragma once

#include "Device.h"
#include "Result.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavolix {

// The settings tavolixctl can change, in the order of the CSV columns.
enum class Setting
{
    Name,
    Ip,
    Mask,
    Gateway,
    HttpPort,
    Mode,
    PppoeAccount,
};

inline constexpr std::array<Setting, 7> allSettings = {
    Setting::Name,     Setting::Ip,   Setting::Mask,         Setting::Gateway,
    Setting::HttpPort, Setting::Mode, Setting::PppoeAccount,
};

// The CSV column and JSON key: "name", "ip", "mask", "gateway", "http_port",
// "mode", "pppoe_account".
std::string_view settingKey(Setting setting);
std::optional<Setting> settingForKey(std::string_view key);
// The keys joined by ", ", as reports name settings.
std::string settingList(const std::vector<Setting>& settings);

std::string_view modeName(AddressMode mode);

// Settings for one device, each one given or not: one left out keeps what
// the device has. Values are parsed once where they come in (options, plan
// cells) and turned into text once where they go out (listings, reports).
struct DeviceSettings
{
    std::optional<std::string> name; // bytes: UTF-8 as typed, or the device's own
    std::optional<Ipv4> ip;
    std::optional<Ipv4> mask;
    std::optional<Ipv4> gateway;
    std::optional<uint16_t> httpPort;
    std::optional<AddressMode> mode;
    std::optional<std::string> pppoeAccount; // bytes, as name

    bool has(Setting setting) const;
    std::vector<Setting> given() const; // in the order of allSettings
    bool operator==(const DeviceSettings&) const = default;
};

// Everything the device reports, each setting given.
DeviceSettings currentSettings(const Device& device);

// What the device will have: the asked values over its own.
DeviceSettings resultingSettings(const Device& device, const DeviceSettings& asked);

// One setting's value as text: names and accounts as their bytes, addresses
// dotted, the port in decimal, the mode as "static", "dhcp" or "pppoe";
// empty when not given.
std::string settingText(const DeviceSettings& settings, Setting setting);

// Parses a value given for a setting into settings; refused, with the reason
// (to follow the value), when it is no such value. Texts must be non-empty
// and hold no zero byte; how long they may be is the protocol's to say.
Result<> parseSetting(DeviceSettings& into, Setting setting, std::string_view given);

// Why no device may be given this setting's value, whatever it holds now (a
// port of 0, an IP no host can hold), said to follow the value; empty when
// it may. A listing may show such values: only a change to one is refused.
std::string valueRefusal(const DeviceSettings& settings, Setting setting);

// The asked settings whose value differs from what the device reports.
std::vector<Setting> differingSettings(const Device& device, const DeviceSettings& asked);

// What no protocol lets change, one text per refused setting: a value no
// device may have, an IP that is its subnet's network or broadcast address, addresses while the
// mode will be dhcp, a PPPoE account outside pppoe mode. Only values that differ count.
std::vector<std::string> settingRefusals(const Device& device, const DeviceSettings& asked);

} // namespace tavolix

#pragma once

#include "Device.h"
#include "Result.h"

#include <array>
#include <map>
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

// Asked values, each in the canonical text that a device's reply reads back
// as: names and accounts as raw bytes, addresses dotted, the port in decimal,
// the mode as "static", "dhcp" or "pppoe".
using SettingValues = std::map<Setting, std::string>;

// A setting's value as the device reports it, in the same canonical text.
std::string currentValue(const Device& device, Setting setting);

// Checks a value given for a setting and brings it into canonical text;
// refused, with the reason (to follow the value), when it is not acceptable.
Result<std::string> canonicalValue(Setting setting, std::string_view given);

// The asked settings whose value differs from what the device reports.
std::vector<Setting> differingSettings(const Device& device, const SettingValues& asked);

// Why no device may be given this canonical value, whatever it holds now (a
// port of 0, an IP that no device can hold), said to follow the value; empty
// when it may.
std::string valueRefusal(Setting setting, const std::string& value);

// What may not change, one text per refused setting: a port of 0, an IP that
// no device can hold or that is its subnet's network or broadcast address,
// and what the device's kind and resulting mode forbid (kind 3: nothing;
// kind 1: no PPPoE; addresses not in DHCP mode; the PPPoE account only in
// PPPoE mode). Only values that differ from the device's count. A device
// reached only over ONVIF has no kind and no PPPoE, and keeps its name in
// UTF-8: a code page given for it (codePageGiven) is refused too.
std::vector<std::string> refusedChanges(const Device& device, const SettingValues& asked,
                                        bool codePageGiven = false);

// The value a setting will have: the asked one, else the device's.
std::string resultingValue(const Device& device, const SettingValues& asked, Setting setting);
// The same for Ip, Mask and Gateway, as an address.
Ipv4 resultingAddress(const Device& device, const SettingValues& asked, Setting setting);

// The mode the device will be in once the asked values are applied.
AddressMode resultingMode(const Device& device, const SettingValues& asked);

} // namespace tavolix

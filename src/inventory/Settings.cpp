#include "Settings.h"

#include "Datagram.h"
#include "Ipv4.h"

#include <algorithm>

namespace tavolix {
namespace {

constexpr std::array<std::string_view, 7> keys = {
    "name", "ip", "mask", "gateway", "http_port", "mode", "pppoe_account",
};

Result<std::string> canonicalText(std::string_view given, std::size_t capacity)
{
    if (given.empty())
        return refused("must not be empty");
    if (given.size() > capacity)
        return refused("is " + std::to_string(given.size()) + " bytes long, at most " +
                       std::to_string(capacity) + " fit");
    if (given.find('\0') != std::string_view::npos)
        return refused("holds a zero byte");
    return std::string(given);
}

Result<std::string> canonicalPort(std::string_view given)
{
    unsigned value = 0;
    const bool digits =
        !given.empty() && given.size() <= 5 &&
        std::all_of(given.begin(), given.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (digits) {
        for (const char c : given)
            value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (!digits || value > 65535)
        return refused("is not a port number from 1 to 65535");
    return std::to_string(value);
}

Result<std::string> canonicalAddress(Setting setting, std::string_view given)
{
    const auto address = parseIpv4(given);
    if (!address)
        return refused("is not an IPv4 address in dotted decimal");
    if (setting == Setting::Mask && !isContiguousMask(*address))
        return refused("is not a subnet mask");
    return ipv4Text(*address);
}

} // namespace

std::string_view settingKey(Setting setting)
{
    return keys[static_cast<std::size_t>(setting)];
}

std::optional<Setting> settingForKey(std::string_view key)
{
    for (const Setting setting : allSettings) {
        if (settingKey(setting) == key)
            return setting;
    }
    return std::nullopt;
}

std::string settingList(const std::vector<Setting>& settings)
{
    std::string list;
    for (const Setting setting : settings)
        list += (list.empty() ? "" : ", ") + std::string(settingKey(setting));
    return list;
}

std::string_view modeName(AddressMode mode)
{
    switch (mode) {
    case AddressMode::Dhcp:
        return "dhcp";
    case AddressMode::Pppoe:
        return "pppoe";
    case AddressMode::Static:
        break;
    }
    return "static";
}

std::string currentValue(const Device& device, Setting setting)
{
    switch (setting) {
    case Setting::Name:
        return device.name;
    case Setting::Ip:
        return ipv4Text(device.ip);
    case Setting::Mask:
        return ipv4Text(device.mask);
    case Setting::Gateway:
        return ipv4Text(device.gateway);
    case Setting::HttpPort:
        return std::to_string(device.httpPort);
    case Setting::Mode:
        return std::string(modeName(device.mode));
    case Setting::PppoeAccount:
        return device.pppoeAccount;
    }
    return {};
}

Result<std::string> canonicalValue(Setting setting, std::string_view given)
{
    switch (setting) {
    case Setting::Name:
        return canonicalText(given, valueSize(Tag::Name));
    case Setting::PppoeAccount:
        return canonicalText(given, valueSize(Tag::PppoeAccount));
    case Setting::Ip:
    case Setting::Mask:
    case Setting::Gateway:
        return canonicalAddress(setting, given);
    case Setting::HttpPort:
        return canonicalPort(given);
    case Setting::Mode:
        break;
    }
    if (given == "static" || given == "dhcp" || given == "pppoe")
        return std::string(given);
    return refused("is not static, dhcp or pppoe");
}

std::vector<Setting> differingSettings(const Device& device, const SettingValues& asked)
{
    std::vector<Setting> differing;
    for (const auto& [setting, value] : asked) {
        if (value != currentValue(device, setting))
            differing.push_back(setting);
    }
    return differing;
}

AddressMode resultingMode(const Device& device, const SettingValues& asked)
{
    const auto mode = asked.find(Setting::Mode);
    if (mode == asked.end())
        return device.mode;
    if (mode->second == "dhcp")
        return AddressMode::Dhcp;
    return mode->second == "pppoe" ? AddressMode::Pppoe : AddressMode::Static;
}

std::string resultingValue(const Device& device, const SettingValues& asked, Setting setting)
{
    const auto value = asked.find(setting);
    return value != asked.end() ? value->second : currentValue(device, setting);
}

Ipv4 resultingAddress(const Device& device, const SettingValues& asked, Setting setting)
{
    // Asked values are canonical dotted decimal already.
    if (const auto value = asked.find(setting); value != asked.end())
        return parseIpv4(value->second).value_or(0);
    return setting == Setting::Ip ? device.ip
                                  : (setting == Setting::Mask ? device.mask : device.gateway);
}

std::string valueRefusal(Setting setting, const std::string& value)
{
    if (setting == Setting::HttpPort && value == "0")
        return "is not a port number from 1 to 65535";
    if (setting == Setting::Ip && !isUnicastHostAddress(parseIpv4(value).value_or(0)))
        return "is not an address a device can hold";
    return {};
}

namespace {

// A new value the syntax allows but a device must not be given.
std::optional<std::string> unusableValue(const Device& device, const SettingValues& asked,
                                         Setting setting)
{
    const std::string value = resultingValue(device, asked, setting);
    if (const std::string refusal = valueRefusal(setting, value); !refusal.empty())
        return value + " " + refusal;
    if (setting != Setting::Ip)
        return std::nullopt;
    const Ipv4 ip = resultingAddress(device, asked, Setting::Ip);
    if (isNetworkOrBroadcast(ip, resultingAddress(device, asked, Setting::Mask)))
        return value + " is the network or broadcast address of its subnet";
    return std::nullopt;
}

} // namespace

std::vector<std::string> refusedChanges(const Device& device, const SettingValues& asked,
                                        bool codePageGiven)
{
    std::vector<std::string> refusals;
    // The kind rules are the native replies'; an ONVIF device has no kind.
    const bool onvifOnly = !speaks(device, Protocols::Native);
    if (onvifOnly && codePageGiven)
        refusals.push_back("--code-page: an ONVIF device keeps its name in UTF-8");
    const AddressMode mode = resultingMode(device, asked);
    for (const Setting setting : differingSettings(device, asked)) {
        const std::string key(settingKey(setting));
        if (const auto problem = unusableValue(device, asked, setting)) {
            refusals.push_back(key + ": " + *problem);
            continue;
        }
        if (!onvifOnly && device.kind == DeviceKind::ReadOnly) {
            refusals.push_back(key + ": a kind 3 device lets nothing be changed");
            continue;
        }
        const bool pppoe = setting == Setting::PppoeAccount ||
                           (setting == Setting::Mode && mode == AddressMode::Pppoe);
        const bool addressField =
            setting == Setting::Ip || setting == Setting::Mask || setting == Setting::Gateway;
        if (onvifOnly && pppoe)
            refusals.push_back(key + ": ONVIF has no place for PPPoE");
        else if (!onvifOnly && device.kind == DeviceKind::WithoutPppoe && pppoe)
            refusals.push_back(key + ": a kind 1 device cannot use PPPoE");
        else if (addressField && mode == AddressMode::Dhcp)
            refusals.push_back(key + ": cannot be set while the mode is dhcp");
        else if (setting == Setting::PppoeAccount && mode != AddressMode::Pppoe)
            refusals.push_back(key + ": can be set only in pppoe mode");
    }
    return refusals;
}

} // namespace tavolix

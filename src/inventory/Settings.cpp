#include "Settings.h"

#include "Ipv4.h"

#include <algorithm>
#include <charconv>

namespace tavolix {
namespace {

constexpr std::array<std::string_view, 7> keys = {
    "name", "ip", "mask", "gateway", "http_port", "mode", "pppoe_account",
};

constexpr std::array<std::pair<std::string_view, AddressMode>, 3> modes = {{
    {"static", AddressMode::Static},
    {"dhcp", AddressMode::Dhcp},
    {"pppoe", AddressMode::Pppoe},
}};

Result<std::string> parseText(std::string_view given)
{
    if (given.empty())
        return refused("must not be empty");
    if (given.find('\0') != std::string_view::npos)
        return refused("holds a zero byte");
    return std::string(given);
}

Result<uint16_t> parsePort(std::string_view given)
{
    unsigned value = 0;
    const bool digits =
        !given.empty() && given.size() <= 5 &&
        std::all_of(given.begin(), given.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (digits)
        std::from_chars(given.data(), given.data() + given.size(), value);
    if (!digits || value > 65535)
        return refused("is not a port number from 1 to 65535");
    return static_cast<uint16_t>(value);
}

Result<Ipv4> parseAddress(Setting setting, std::string_view given)
{
    const auto address = parseIpv4(given);
    if (!address)
        return refused("is not an IPv4 address in dotted decimal");
    if (setting == Setting::Mask && !isContiguousMask(*address))
        return refused("is not a subnet mask");
    return *address;
}

Result<AddressMode> parseMode(std::string_view given)
{
    for (const auto& [name, mode] : modes) {
        if (name == given)
            return mode;
    }
    return refused("is not static, dhcp or pppoe");
}

// Stores a parsed value, or hands on why it could not be parsed.
template <typename T> Result<> store(std::optional<T>& into, Result<T> parsed)
{
    if (!parsed)
        return parsed.failure();
    into = std::move(*parsed);
    return Done{};
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
    const auto named = std::find_if(modes.begin(), modes.end(),
                                    [mode](const auto& entry) { return entry.second == mode; });
    return named->first;
}

bool DeviceSettings::has(Setting setting) const
{
    switch (setting) {
    case Setting::Name:
        return name.has_value();
    case Setting::Ip:
        return ip.has_value();
    case Setting::Mask:
        return mask.has_value();
    case Setting::Gateway:
        return gateway.has_value();
    case Setting::HttpPort:
        return httpPort.has_value();
    case Setting::Mode:
        return mode.has_value();
    case Setting::PppoeAccount:
        break;
    }
    return pppoeAccount.has_value();
}

std::vector<Setting> DeviceSettings::given() const
{
    std::vector<Setting> settings;
    std::copy_if(allSettings.begin(), allSettings.end(), std::back_inserter(settings),
                 [this](Setting setting) { return has(setting); });
    return settings;
}

DeviceSettings currentSettings(const Device& device)
{
    return {device.name,     device.ip,   device.mask,        device.gateway,
            device.httpPort, device.mode, device.pppoeAccount};
}

DeviceSettings resultingSettings(const Device& device, const DeviceSettings& asked)
{
    const DeviceSettings now = currentSettings(device);
    return {asked.name.value_or(*now.name),
            asked.ip.value_or(*now.ip),
            asked.mask.value_or(*now.mask),
            asked.gateway.value_or(*now.gateway),
            asked.httpPort.value_or(*now.httpPort),
            asked.mode.value_or(*now.mode),
            asked.pppoeAccount.value_or(*now.pppoeAccount)};
}

std::string settingText(const DeviceSettings& settings, Setting setting)
{
    switch (setting) {
    case Setting::Name:
        return settings.name.value_or("");
    case Setting::Ip:
        return ipv4Text(settings.ip);
    case Setting::Mask:
        return ipv4Text(settings.mask);
    case Setting::Gateway:
        return ipv4Text(settings.gateway);
    case Setting::HttpPort:
        return settings.httpPort ? std::to_string(*settings.httpPort) : std::string();
    case Setting::Mode:
        return settings.mode ? std::string(modeName(*settings.mode)) : std::string();
    case Setting::PppoeAccount:
        break;
    }
    return settings.pppoeAccount.value_or("");
}

Result<> parseSetting(DeviceSettings& into, Setting setting, std::string_view given)
{
    switch (setting) {
    case Setting::Name:
        return store(into.name, parseText(given));
    case Setting::Ip:
        return store(into.ip, parseAddress(setting, given));
    case Setting::Mask:
        return store(into.mask, parseAddress(setting, given));
    case Setting::Gateway:
        return store(into.gateway, parseAddress(setting, given));
    case Setting::HttpPort:
        return store(into.httpPort, parsePort(given));
    case Setting::Mode:
        return store(into.mode, parseMode(given));
    case Setting::PppoeAccount:
        break;
    }
    return store(into.pppoeAccount, parseText(given));
}

std::vector<Setting> differingSettings(const Device& device, const DeviceSettings& asked)
{
    const DeviceSettings now = currentSettings(device);
    std::vector<Setting> differing;
    for (const Setting setting : asked.given()) {
        if (settingText(asked, setting) != settingText(now, setting))
            differing.push_back(setting);
    }
    return differing;
}

std::string valueRefusal(const DeviceSettings& settings, Setting setting)
{
    if (setting == Setting::HttpPort && settings.httpPort == 0)
        return "is not a port number from 1 to 65535";
    if (setting == Setting::Ip && settings.ip && !isUnicastHostAddress(*settings.ip))
        return "is not an address a device can hold";
    return {};
}

std::vector<std::string> settingRefusals(const Device& device, const DeviceSettings& asked)
{
    const DeviceSettings result = resultingSettings(device, asked);
    std::vector<std::string> refusals;
    for (const Setting setting : differingSettings(device, asked)) {
        const std::string key(settingKey(setting));
        const bool address =
            setting == Setting::Ip || setting == Setting::Mask || setting == Setting::Gateway;
        if (const std::string refusal = valueRefusal(asked, setting); !refusal.empty())
            refusals.push_back(key + ": " + settingText(asked, setting) + " " + refusal);
        else if (setting == Setting::Ip && isNetworkOrBroadcast(*result.ip, *result.mask))
            refusals.push_back(key + ": " + ipv4Text(*result.ip) +
                               " is the network or broadcast address of its subnet");
        else if (address && result.mode == AddressMode::Dhcp)
            refusals.push_back(key + ": cannot be set while the mode is dhcp");
        else if (setting == Setting::PppoeAccount && result.mode != AddressMode::Pppoe)
            refusals.push_back(key + ": can be set only in pppoe mode");
    }
    return refusals;
}

} // namespace tavolix

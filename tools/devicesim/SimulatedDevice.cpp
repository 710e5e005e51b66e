#include "SimulatedDevice.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace tavolix::devicesim {
namespace {

template <std::size_t N> void setText(std::array<char, N>& field, std::string_view text)
{
    field.fill('\0');
    text.copy(field.data(), std::min(text.size(), N));
}

MacAddress macFromNumber(uint64_t number)
{
    MacAddress mac{};
    for (std::size_t i = 0; i < mac.size(); ++i)
        mac[mac.size() - 1 - i] = static_cast<uint8_t>(number >> (8 * i));
    return mac;
}

} // namespace

Ipv4Bytes ipv4Bytes(uint32_t hostOrder)
{
    return {static_cast<uint8_t>(hostOrder >> 24), static_cast<uint8_t>(hostOrder >> 16),
            static_cast<uint8_t>(hostOrder >> 8), static_cast<uint8_t>(hostOrder)};
}

std::vector<SimulatedDevice> makeDevices(const SimOptions& options)
{
    std::vector<SimulatedDevice> devices(static_cast<std::size_t>(options.count));
    for (std::size_t i = 0; i < devices.size(); ++i) {
        SimulatedDevice& device = devices[i];
        device.mac =
            macFromNumber((options.macBase + (options.sharedMac ? 0 : i)) & 0xFFFFFFFFFFFF);
        device.ipAddress =
            ipv4Bytes(options.ipBase + (options.sharedAddress ? 0 : static_cast<uint32_t>(i)));
        device.subnetMask = {255, 254, 0, 0};
        device.gateway = ipv4Bytes((options.ipBase & 0xFFFE0000) | 1);
        device.httpPort = options.httpPort;
        device.networkMode = options.networkMode;
        std::array<char, 64> name{};
        std::snprintf(name.data(), name.size(), "%.30s-%03zu", options.namePrefix.c_str(), i + 1);
        setText(device.name, name.data());
        setText(device.version, "2.4.1-sim");
        if (options.networkMode == pppoeMode) {
            std::array<char, 64> account{};
            std::snprintf(account.data(), account.size(), "dsl%03zu@example.net", i + 1);
            setText(device.pppoeAccount, account.data());
            setText(device.pppoePassword, "pppoe-secret");
        }
        device.kind = options.kind;
        device.ignoresConfiguration = static_cast<int>(i) < options.ignoringDevices;
    }
    applyRawTexts(options.rawTexts, devices);
    return devices;
}

} // namespace tavolix::devicesim

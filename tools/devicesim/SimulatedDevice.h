#pragma once

#include "MacCodec.h"
#include "SimOptions.h"

#include <array>
#include <cstdint>
#include <vector>

namespace tavolix::devicesim {

using Ipv4Bytes = std::array<uint8_t, 4>;

// The settings one simulated device reports and lets a configuration change.
// Texts are zero-padded to their value size on the wire.
struct SimulatedDevice
{
    MacAddress mac{};
    Ipv4Bytes ipAddress{};
    Ipv4Bytes subnetMask{};
    Ipv4Bytes gateway{};
    uint16_t httpPort = 80;
    NetworkModeBytes networkMode{};
    std::array<char, 31> name{};
    std::array<char, 16> version{};
    std::array<char, 64> pppoeAccount{};
    std::array<char, 16> pppoePassword{};
    DeviceKind kind = DeviceKind::WithoutPppoe;
    bool ignoresConfiguration = false;
};

// Device i (from 0) gets MAC base + i, address base + i (or base itself for
// all, with sharedAddress) and the name PREFIX-NNN numbered from 1.
std::vector<SimulatedDevice> makeDevices(const SimOptions& options);

Ipv4Bytes ipv4Bytes(uint32_t hostOrder);

} // namespace tavolix::devicesim

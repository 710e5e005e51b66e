#pragma once

#include "SimulatedDevice.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tavolix::devicesim {

// The records of a configuration request that a device acts on. A record
// whose value was cut off by the end of the datagram counts as absent.
struct ConfigurationRecords
{
    std::optional<MacAddress> target; // the first Mac record
    std::optional<MacAddress> newMac; // a second Mac record
    std::optional<std::array<uint8_t, 32>> credentials;
    std::optional<std::array<char, 31>> name;
    std::optional<std::array<char, 64>> pppoeAccount;
    std::optional<std::array<char, 16>> pppoePassword;
    std::optional<Ipv4Bytes> ipAddress;
    std::optional<Ipv4Bytes> subnetMask;
    std::optional<Ipv4Bytes> gateway;
    std::optional<uint16_t> httpPort; // sent as ASCII digits; absent when not a port
    std::optional<NetworkModeBytes> networkMode;
};

// datagram starts with the magic.
bool isSearch(std::span<const uint8_t> datagram);

ConfigurationRecords readConfiguration(std::span<const uint8_t> datagram);

// Stores every setting the request carries; returns the names of what it
// stored, each preceded by a blank (" name ip port").
std::string applyConfiguration(const ConfigurationRecords& request, SimulatedDevice& device);

} // namespace tavolix::devicesim

#pragma once

#include "Device.h"
#include "DeviceCalls.h"
#include "MacCodec.h"
#include "Security.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavolix::onvif {

// Bounds on the lists of an answer; entries beyond them are left out.
inline constexpr std::size_t maxInterfaces = 16;
inline constexpr std::size_t maxAddressesPerInterface = 16;
inline constexpr std::size_t maxGateways = 8;
inline constexpr std::size_t maxProtocols = 16;
inline constexpr std::size_t maxPortsPerProtocol = 8;
inline constexpr std::size_t maxScopeEntries = 64;

struct DeviceInformation
{
    std::string manufacturer;
    std::string model;
    std::string firmwareVersion;
    std::string serialNumber;
    std::string hardwareId;
    bool operator==(const DeviceInformation&) const = default;
};

struct NetworkInterface
{
    std::string token;
    bool enabled = false;
    std::optional<MacAddress> mac; // from Info/HwAddress
    bool ipv4Enabled = false;
    bool dhcp = false;
    // Every IPv4 address its configuration lists: the manual ones, then the
    // link-local one and the one DHCP gave.
    std::vector<DeviceAddress> addresses;
    bool operator==(const NetworkInterface&) const = default;
};

struct Scope
{
    bool fixed = false; // Fixed, or Configurable
    std::string uri;
    bool operator==(const Scope&) const = default;
};

// The device's UTC clock in a GetSystemDateAndTime answer.
std::optional<SystemClock::time_point> parseSystemDateAndTime(std::string_view response);

// What to add to our clock to get the device's.
std::chrono::seconds clockOffset(SystemClock::time_point deviceUtc, SystemClock::time_point local);

std::optional<DeviceInformation> parseDeviceInformation(std::string_view response);
std::optional<std::vector<NetworkInterface>> parseNetworkInterfaces(std::string_view response);
std::optional<std::vector<Ipv4>> parseNetworkDefaultGateway(std::string_view response);
std::optional<std::vector<NetworkProtocol>> parseNetworkProtocols(std::string_view response);
std::optional<std::vector<Scope>> parseScopes(std::string_view response);

// Why an answer to `operation` is not its SOAP answer, for a problem line: "answered HTTP 502,
// not SOAP" (a proxy's page, an empty body, ...), or "answered HTTP 200 without a
// GetScopesResponse"; nothing when it is the answer. A fault is the caller's to read first.
std::optional<std::string> answerProblem(long status, std::string_view body, Operation operation);

// SetNetworkInterfaces' RebootNeeded.
std::optional<bool> parseRebootNeeded(std::string_view response);

} // namespace tavolix::onvif

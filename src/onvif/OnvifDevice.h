#pragma once

#include "Device.h"
#include "DeviceResponses.h"
#include "ProbeMatch.h"
#include "ServiceAddress.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavolix::onvif {

// What a search has learnt of one ONVIF device so far: its answer to the
// probe, then what its device service told.
struct OnvifDevice
{
    ProbeMatch match;
    ServiceAddress service;
    std::string interfaceName;
    unsigned interfaceIndex = 0;
    Ipv4 source = 0;

    // How it took the login and its clock's offset, once the reads found them.
    LoginScheme login = LoginScheme::Unknown;
    std::optional<std::chrono::seconds> clockOffset;
    std::optional<DeviceInformation> information;
    std::optional<std::vector<NetworkInterface>> interfaces;
    std::optional<std::vector<Ipv4>> gateways;
    std::optional<std::vector<NetworkProtocol>> protocols;
    std::optional<std::vector<Scope>> scopes;
    std::string problem; // why the reads stopped early, if they did
};

// The device's row: what the reads gave, and what the probe answer gave
// where they gave nothing (no login, or a device that did not answer).
Device deviceRow(const OnvifDevice& device);

// The interface its settings live on: the first with a MAC address.
const NetworkInterface* primaryInterface(const OnvifDevice& device);

// The HTTP entry of its protocols the device service answers on: the one that
// lists the service's port where it is reached over http, else the first that
// lists a port; nothing when none does. Its port is the row's http_port.
struct ServingHttp
{
    std::size_t index = 0; // into device.protocols
    uint16_t port = 0;
};
std::optional<ServingHttp> servingHttp(const OnvifDevice& device);

} // namespace tavolix::onvif

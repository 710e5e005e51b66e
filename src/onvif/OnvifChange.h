#pragma once

#include "DeviceCalls.h"
#include "OnvifDevice.h"
#include "Result.h"
#include "Settings.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace tavolix::onvif {

// One call of a change, and the HTTP port the device service listens on once
// the device has answered it (0: where it was).
struct ChangeCall
{
    DeviceCall call;
    uint16_t portAfter = 0;
};

// The calls that give a device the asked settings, one for
// each group of settings that differs from what its reads showed: gateway,
// scopes (the name), protocols (the HTTP port), and the interface (address,
// mask, DHCP) last, since it moves the device away from where the others go.
// Refused, nothing to send, when the reads lack what a call must send back.
Result<std::vector<ChangeCall>> changeCalls(const OnvifDevice& device, const DeviceSettings& asked);

// The configurable scopes with the name scope replaced by one naming `name`
// (added when there was none); the fixed ones are not the caller's to send.
std::vector<std::string> scopesNamed(const std::vector<Scope>& scopes, std::string_view name);

// The same service at another port.
ServiceAddress withPort(const ServiceAddress& service, uint16_t port);

} // namespace tavolix::onvif

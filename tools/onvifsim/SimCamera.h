#pragma once

#include "Ipv4.h"
#include "OnvifSimOptions.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavolix::onvifsim {

// What a camera is reached at and routes by.
struct NetworkSettings
{
    Ipv4 address = 0;
    int prefixLength = 24;
    bool dhcp = false;
    Ipv4 gateway = 0; // 0: none
    uint16_t httpPort = 80;
    uint16_t stayingPort = 0; // --port-stays: where the service stayed, 0: at httpPort
    bool operator==(const NetworkSettings&) const = default;
};

// One simulated camera. `settings` are in effect; `staged` is what a change
// asked for and takes effect once the reply has gone out (the reply still
// leaves from the old address); `afterReboot` waits for SystemReboot.
struct SimCamera
{
    uint64_t mac = 0;
    std::string endpoint; // urn:uuid:..., the same on every start
    std::string name;
    std::string location = "lab";
    std::string model = "SimCam-200";
    std::vector<std::string> configurableScopes;
    NetworkSettings settings;
    NetworkSettings staged;
    std::optional<NetworkSettings> afterReboot;
    bool keepsSettings = false; // accepts changes and ignores them
    bool isComputer = false;    // the --wsdp-host answerer: no device service
    XAddrScheme xaddrScheme = XAddrScheme::Http;
    bool servesHttps = false;
    uint16_t httpsPort = 443;
    std::string xaddrHost; // set: named in XAddrs instead of the address
    std::string timeZone = "UTC0";
    bool splitHttpEntry = false; // lists an HTTP entry without ports before the serving one
    bool oversized = false;      // GetDeviceInformation's answer goes on without end
};

// The port the device service answers plain HTTP on.
inline uint16_t servicePort(const NetworkSettings& settings)
{
    return settings.stayingPort != 0 ? settings.stayingPort : settings.httpPort;
}

std::string macText(uint64_t mac, char separator); // "02:00:5e:20:00:01" or "02005e200001"

// Camera i of the options (0-based), or the computer after the last camera.
SimCamera makeCamera(const OnvifSimOptions& options, int index);
SimCamera makeComputer(const OnvifSimOptions& options);

// The fixed scopes, then the configurable ones; none for the computer.
std::vector<std::string> fixedScopes(const SimCamera& camera);
std::vector<std::string> allScopes(const SimCamera& camera);

// The device service's XAddrs in the order advertised; the first is the one
// GetCapabilities and GetServices name.
std::vector<std::string> deviceServiceAddresses(const SimCamera& camera);
std::string deviceServiceAddress(const SimCamera& camera);

} // namespace tavolix::onvifsim

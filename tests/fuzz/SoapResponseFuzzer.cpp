#include "DeviceResponses.h"
#include "OnvifDevice.h"
#include "SoapFault.h"

#include <algorithm>
#include <cstdlib>
#include <string>

// Every parser of a device's answer over the same bytes, each within its bounds.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tavolix::onvif;
    const std::string response(reinterpret_cast<const char*>(data), size);
    parseSystemDateAndTime(response);
    parseDeviceInformation(response);
    parseRebootNeeded(response);
    parseNetworkDefaultGateway(response);
    parseScopes(response);
    if (const auto fault = parseFault(response))
        fault->isNotAuthorized();
    const auto interfaces = parseNetworkInterfaces(response);
    const auto protocols = parseNetworkProtocols(response);
    if ((interfaces && interfaces->size() > maxInterfaces) ||
        (protocols && protocols->size() > maxProtocols))
        std::abort();
    for (const auto& interface : interfaces ? *interfaces : std::vector<NetworkInterface>{}) {
        if (interface.addresses.size() > maxAddressesPerInterface)
            std::abort();
    }
    // The row lists one of the primary interface's addresses, or the one answered at.
    OnvifDevice device;
    device.service.host = 0xC0A80140;
    device.interfaces = interfaces;
    const auto row = deviceRow(device);
    const NetworkInterface* own = primaryInterface(device);
    if (row.ip != device.service.host &&
        (own == nullptr ||
         std::ranges::find(own->addresses, row.ip, &tavolix::DeviceAddress::address) ==
             own->addresses.end()))
        std::abort();
    return 0;
}

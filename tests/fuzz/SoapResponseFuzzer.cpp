#include "DeviceResponses.h"
#include "OnvifDevice.h"
#include "SoapFault.h"

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
    OnvifDevice device; // its row from whatever was read
    device.interfaces = interfaces;
    deviceRow(device);
    return 0;
}

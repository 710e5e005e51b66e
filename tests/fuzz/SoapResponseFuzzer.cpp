#include "DeviceResponses.h"
#include "SoapFault.h"

#include <cstdlib>
#include <string>

// Every parser of a device's answer over the same bytes: each must stay within its bounds.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tavolix::onvif;
    const std::string response(reinterpret_cast<const char*>(data), size);
    parseSystemDateAndTime(response);
    parseDeviceInformation(response);
    parseRebootNeeded(response);
    if (const auto interfaces = parseNetworkInterfaces(response);
        interfaces && interfaces->size() > maxInterfaces)
        std::abort();
    if (const auto gateways = parseNetworkDefaultGateway(response);
        gateways && gateways->size() > maxGateways)
        std::abort();
    if (const auto protocols = parseNetworkProtocols(response)) {
        if (protocols->size() > maxProtocols)
            std::abort();
        for (const auto& protocol : *protocols) {
            if (protocol.ports.size() > maxPortsPerProtocol)
                std::abort();
        }
    }
    if (const auto scopes = parseScopes(response); scopes && scopes->size() > maxScopeEntries)
        std::abort();
    if (const auto fault = parseFault(response))
        fault->isNotAuthorized();
    return 0;
}

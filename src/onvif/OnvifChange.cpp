#include "OnvifChange.h"

#include "Scopes.h"

#include <algorithm>
#include <bit>

namespace tavolix::onvif {
namespace {

constexpr std::string_view nameScope = "onvif://www.onvif.org/name/";

bool isNameScope(const std::string& uri)
{
    return scopeValue({uri}, "name").has_value();
}

// The serving entry's port replaced, where the service answers, by the new one.
DeviceCall protocolsCall(std::vector<NetworkProtocol> protocols, ServingHttp http, uint16_t port)
{
    *std::ranges::find(protocols.at(http.index).ports, http.port) = port;
    // Every protocol goes back as read: a device may take a missing one for off.
    return setNetworkProtocols(protocols);
}

} // namespace

std::vector<std::string> scopesNamed(const std::vector<Scope>& scopes, std::string_view name)
{
    std::vector<std::string> uris;
    for (const Scope& scope : scopes) {
        if (!scope.fixed && !isNameScope(scope.uri))
            uris.push_back(scope.uri);
    }
    uris.insert(uris.begin(), std::string(nameScope) + percentEncoded(name));
    return uris;
}

ServiceAddress withPort(const ServiceAddress& service, uint16_t port)
{
    ServiceAddress moved = service;
    moved.port = port;
    moved.url = serviceUrlText(service.scheme, service.host, port, service.path);
    return moved;
}

Result<std::vector<ChangeCall>> changeCalls(const OnvifDevice& device, const DeviceSettings& asked)
{
    const Device now = deviceRow(device);
    const DeviceSettings result = resultingSettings(now, asked);
    const std::vector<Setting> differing = differingSettings(now, asked);
    const auto differs = [&](Setting setting) {
        return std::find(differing.begin(), differing.end(), setting) != differing.end();
    };
    std::vector<ChangeCall> calls;
    if (differs(Setting::Gateway)) {
        const Ipv4 gateway = *result.gateway;
        calls.push_back({setNetworkDefaultGateway(gateway == 0 ? std::vector<Ipv4>{}
                                                               : std::vector<Ipv4>{gateway})});
    }
    if (differs(Setting::Name)) {
        if (!device.scopes)
            return refused("its scopes were not read");
        calls.push_back({setScopes(scopesNamed(*device.scopes, *result.name))});
    }
    if (differs(Setting::HttpPort)) {
        const auto http = servingHttp(device);
        if (!http)
            return refused("it lists no HTTP port to change");
        // The service moves with the port only where it is reached at that port over http.
        const bool serviceMoves =
            device.service.scheme == Scheme::Http && device.service.port == now.httpPort;
        calls.push_back({protocolsCall(*device.protocols, *http, *result.httpPort),
                         serviceMoves ? *result.httpPort : uint16_t{0}});
    }
    if (differs(Setting::Ip) || differs(Setting::Mask) || differs(Setting::Mode)) {
        const NetworkInterface* own = primaryInterface(device);
        if (own == nullptr)
            return refused("its network interface was not read");
        // The one address asked for replaces every manual address the interface had: the
        // device is then found at it alone.
        const InterfaceChange change{own->token, true, result.mode == AddressMode::Dhcp, *result.ip,
                                     static_cast<unsigned>(std::popcount(*result.mask))};
        calls.push_back({setNetworkInterfaces(change)});
    }
    return calls;
}

} // namespace tavolix::onvif

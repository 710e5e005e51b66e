#include "OnvifDevice.h"

#include "EndpointMac.h"
#include "Scopes.h"

#include <algorithm>

namespace tavolix::onvif {
namespace {

Ipv4 maskOfPrefix(unsigned prefixLength)
{
    return prefixLength == 0 ? 0 : ~Ipv4{0} << (32 - std::min(prefixLength, 32u));
}

// What an unread device tells of its MAC: its EndpointReference, else an XAddr.
void learnMac(const ProbeMatch& match, Device& row)
{
    if (const auto mac = macOfEndpointUuid(match.address)) {
        row.mac = *mac;
        row.macSource = MacSource::EndpointUuid;
        return;
    }
    for (const std::string& xaddr : match.xaddrs) {
        if (const auto mac = macOfLinkLocalXAddr(xaddr)) {
            row.mac = *mac;
            row.macSource = MacSource::LinkLocalAddress;
            return;
        }
    }
}

// The address the row lists: the one the device answered at, when its interface has it; else
// the one DHCP gave while DHCP is on, or the first manual one.
const DeviceAddress* listedAddress(const NetworkInterface& own, Ipv4 answeredAt)
{
    const auto& addresses = own.addresses;
    auto found = std::ranges::find(addresses, answeredAt, &DeviceAddress::address);
    if (found == addresses.end())
        found = std::ranges::find(addresses, own.dhcp ? AddressOrigin::Dhcp : AddressOrigin::Manual,
                                  &DeviceAddress::origin);
    return found == addresses.end() ? nullptr : &*found;
}

} // namespace

const NetworkInterface* primaryInterface(const OnvifDevice& device)
{
    if (!device.interfaces)
        return nullptr;
    const auto found = std::find_if(device.interfaces->begin(), device.interfaces->end(),
                                    [](const NetworkInterface& i) { return i.mac.has_value(); });
    return found == device.interfaces->end() ? nullptr : &*found;
}

std::optional<ServingHttp> servingHttp(const OnvifDevice& device)
{
    if (!device.protocols)
        return std::nullopt;
    const auto& protocols = *device.protocols;
    std::optional<ServingHttp> first;
    for (std::size_t i = 0; i < protocols.size(); ++i) {
        const NetworkProtocol& protocol = protocols[i];
        if (protocol.name != "HTTP" || protocol.ports.empty())
            continue;
        if (device.service.scheme == Scheme::Http &&
            std::ranges::find(protocol.ports, device.service.port) != protocol.ports.end())
            return ServingHttp{i, device.service.port};
        if (!first)
            first = ServingHttp{i, protocol.ports.front()};
    }
    return first;
}

Device deviceRow(const OnvifDevice& device)
{
    Device row;
    row.protocols = Protocols::Onvif;
    row.name = scopeValue(device.match.scopes, "name").value_or("");
    row.model = scopeValue(device.match.scopes, "hardware").value_or(""); // until it is read
    if (device.scopes) {
        std::vector<std::string> uris;
        for (const Scope& scope : *device.scopes)
            uris.push_back(scope.uri);
        row.name = scopeValue(uris, "name").value_or(row.name);
    }
    row.ip = device.service.host;
    row.settingsRead = false;
    row.macSource = MacSource::Unknown;
    row.httpPort = device.service.scheme == Scheme::Http ? device.service.port : 0;
    row.xaddrHost = device.service.xaddrHost;
    if (const NetworkInterface* own = primaryInterface(device)) {
        row.mac = *own->mac;
        row.settingsRead = true;
        row.macSource = MacSource::Read;
        row.mode = own->dhcp ? AddressMode::Dhcp : AddressMode::Static;
        row.addresses = own->addresses;
        if (const DeviceAddress* listed = listedAddress(*own, device.service.host)) {
            row.ip = listed->address;
            row.mask = maskOfPrefix(listed->prefixLength);
        }
    }
    if (!row.settingsRead)
        learnMac(device.match, row);
    if (device.gateways && !device.gateways->empty())
        row.gateway = device.gateways->front();
    if (const auto http = servingHttp(device))
        row.httpPort = http->port;
    if (device.information) {
        row.version = device.information->firmwareVersion;
        row.manufacturer = device.information->manufacturer;
        row.model = device.information->model;
        row.serial = device.information->serialNumber;
    }
    row.login = device.login;
    row.clockOffset = device.clockOffset;
    row.serviceUrl = device.service.url;
    row.endpoint = device.match.address;
    row.interfaceName = device.interfaceName;
    row.interfaceIndex = device.interfaceIndex;
    row.source = device.source;
    row.onLink = device.service.onLink;
    return row;
}

} // namespace tavolix::onvif

#include "ServiceAddress.h"

#include "Xml.h"

#include <algorithm>

namespace tavolix::onvif {

namespace {

constexpr std::string_view httpScheme = "http://";
constexpr Ipv4 linkLocalNetwork = 0xA9FE0000; // 169.254.0.0/16
constexpr Ipv4 linkLocalMask = 0xFFFF0000;

bool onAnySubnet(Ipv4 address, std::span<const Subnet> subnets)
{
    return std::any_of(subnets.begin(), subnets.end(), [&](const Subnet& subnet) {
        return inSameSubnet(address, subnet.address, subnet.mask);
    });
}

} // namespace

std::optional<ServiceAddress> parseServiceUrl(std::string_view url)
{
    if (!url.starts_with(httpScheme))
        return std::nullopt;
    const auto rest = url.substr(httpScheme.size());
    const auto pathStart = std::min(rest.find_first_of("/?#"), rest.size());
    const auto authority = rest.substr(0, pathStart);
    const auto colon = authority.find(':');

    ServiceAddress service;
    const auto host = parseIpv4(authority.substr(0, colon)); // refuses "[", "@" and names
    if (!host)
        return std::nullopt;
    service.host = *host;
    if (colon != std::string_view::npos) {
        const auto port = parseUnsigned(authority.substr(colon + 1), UINT16_MAX);
        if (!port || *port == 0)
            return std::nullopt;
        service.port = static_cast<uint16_t>(*port);
    }
    if (pathStart < rest.size())
        service.path = rest[pathStart] == '/' ? std::string(rest.substr(pathStart))
                                              : "/" + std::string(rest.substr(pathStart));
    service.url = std::string(url);
    return service;
}

std::optional<ServiceAddress> chooseServiceAddress(const std::vector<std::string>& xaddrs,
                                                   std::span<const Subnet> subnets)
{
    std::optional<ServiceAddress> routed;
    for (const auto& xaddr : xaddrs) {
        auto service = parseServiceUrl(xaddr);
        if (!service || !isUnicastHostAddress(service->host))
            continue;
        if (onAnySubnet(service->host, subnets)) {
            service->onLink = true;
            return service;
        }
        if (!routed && !inSameSubnet(service->host, linkLocalNetwork, linkLocalMask))
            routed = std::move(service);
    }
    return routed;
}

} // namespace tavolix::onvif

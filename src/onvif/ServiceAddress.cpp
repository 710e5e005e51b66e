#include "ServiceAddress.h"

#include "Xml.h"

#include <algorithm>
#include <tuple>

namespace tavolix::onvif {

namespace {

constexpr std::size_t maxHostBytes = 253; // the longest DNS name
constexpr std::string_view httpScheme = "http://";
constexpr std::string_view httpsScheme = "https://";
constexpr std::string_view ipv6Characters = "0123456789abcdefABCDEF:.";
// Letters, digits, hyphens, and the underscores some firmware puts in its names.
constexpr std::string_view nameCharacters =
    "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ-_.";

bool consistsOf(std::string_view text, std::string_view characters)
{
    return text.find_first_not_of(characters) == std::string_view::npos;
}

bool isHostName(std::string_view host)
{
    return !host.empty() && host.front() != '.' && host.find("..") == std::string_view::npos &&
           consistsOf(host, nameCharacters);
}

// "[fe80::1%25eth0]": hex digits, colons and dots, then an optional zone.
bool isIpv6Literal(std::string_view host)
{
    if (host.size() < 4 || host.front() != '[' || host.back() != ']')
        return false;
    const auto inner = host.substr(1, host.size() - 2);
    const auto zone = std::min(inner.find('%'), inner.size());
    return inner.find(':') < zone && consistsOf(inner.substr(0, zone), ipv6Characters) &&
           consistsOf(inner.substr(zone), std::string(nameCharacters) + "%");
}

bool onAnySubnet(Ipv4 address, std::span<const Subnet> subnets)
{
    return std::any_of(subnets.begin(), subnets.end(), [&](const Subnet& subnet) {
        return inSameSubnet(address, subnet.address, subnet.mask);
    });
}

uint16_t defaultPort(Scheme scheme)
{
    return scheme == Scheme::Https ? 443 : 80;
}

} // namespace

std::optional<ServiceUrl> parseServiceUrl(std::string_view url)
{
    ServiceUrl service;
    if (url.starts_with(httpsScheme))
        service.scheme = Scheme::Https;
    else if (!url.starts_with(httpScheme))
        return std::nullopt;
    service.port = defaultPort(service.scheme);
    const auto rest =
        url.substr(service.scheme == Scheme::Https ? httpsScheme.size() : httpScheme.size());
    const auto pathStart = std::min(rest.find_first_of("/?#"), rest.size());
    const auto authority = rest.substr(0, pathStart);
    // An IPv6 literal's colons are inside its brackets.
    auto hostEnd = std::min(authority.find(':'), authority.size());
    if (authority.starts_with('['))
        hostEnd = std::min(authority.find(']'), authority.size() - 1) + 1;
    const auto host = authority.substr(0, hostEnd);
    if (host.size() > maxHostBytes || (!isHostName(host) && !isIpv6Literal(host)))
        return std::nullopt; // user information, an empty or a broken host
    service.host = std::string(host);
    service.ipv4 = parseIpv4(host);
    if (hostEnd < authority.size()) {
        if (authority[hostEnd] != ':')
            return std::nullopt;
        const auto port = parseUnsigned(authority.substr(hostEnd + 1), UINT16_MAX);
        if (!port || *port == 0)
            return std::nullopt;
        service.port = static_cast<uint16_t>(*port);
    }
    if (pathStart < rest.size())
        service.path = rest[pathStart] == '/' ? std::string(rest.substr(pathStart))
                                              : "/" + std::string(rest.substr(pathStart));
    return service;
}

std::string serviceUrlText(Scheme scheme, Ipv4 host, uint16_t port, std::string_view path)
{
    std::string text(scheme == Scheme::Https ? httpsScheme : httpScheme);
    text += ipv4Text(host);
    if (port != defaultPort(scheme))
        text += ":" + std::to_string(port);
    return text += path;
}

std::optional<ServiceAddress> chooseServiceAddress(const std::vector<std::string>& xaddrs,
                                                   Ipv4 sender, std::span<const Subnet> subnets)
{
    // Only the sender is known to be the device that answered: firmware names loopback, its
    // address behind NAT or another of its addresses as readily as the one it answers at.
    if (!isUnicastHostAddress(sender))
        return std::nullopt;
    std::vector<ServiceUrl> urls;
    for (const std::string& xaddr : xaddrs) {
        if (auto url = parseServiceUrl(xaddr))
            urls.push_back(std::move(*url));
    }
    const auto preference = [&](const ServiceUrl& url) {
        const int kind = url.ipv4 == sender ? 0 : url.ipv6() ? 2 : 1;
        const auto firstOfHost =
            std::ranges::find(urls, url.host, &ServiceUrl::host) - urls.begin();
        return std::tuple(kind, firstOfHost, url.scheme == Scheme::Https ? 0 : 1);
    };
    const auto best = std::ranges::min_element(urls, {}, preference); // the first of equals
    if (best == urls.end())
        return std::nullopt;
    ServiceAddress service;
    service.scheme = best->scheme;
    service.host = sender;
    service.port = best->port;
    service.path = best->path;
    service.url = serviceUrlText(service.scheme, sender, service.port, service.path);
    if (best->ipv4 != sender)
        service.xaddrHost = best->host;
    service.onLink = onAnySubnet(sender, subnets);
    return service;
}

} // namespace tavolix::onvif

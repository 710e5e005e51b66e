#pragma once

#include "Ipv4.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavolix::onvif {

// One IPv4 subnet of the interface an answer came in on.
struct Subnet
{
    Ipv4 address = 0;
    Ipv4 mask = 0;
};

// A device service URL we can reach: http:// with a dotted IPv4 host.
struct ServiceAddress
{
    std::string url;
    Ipv4 host = 0;
    uint16_t port = 80;
    std::string path = "/";
    bool onLink = false; // host lies in one of the subnets it was chosen against
};

// "http://192.168.1.20[:port][/path]"; nothing for another scheme, a name or IPv6 host, user
// information or a bad port.
std::optional<ServiceAddress> parseServiceUrl(std::string_view url);

// The XAddr to talk to: the first on one of the subnets, else the first other routable unicast
// one. IPv6 and name hosts are passed over, and so are link-local (169.254/16) addresses that
// lie on none of the subnets: they cannot be routed to.
std::optional<ServiceAddress> chooseServiceAddress(const std::vector<std::string>& xaddrs,
                                                   std::span<const Subnet> subnets);

} // namespace tavolix::onvif

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

enum class Scheme : uint8_t
{
    Http,
    Https,
};

// What an XAddr names: its host as the device wrote it, that host as an address when it is a
// dotted IPv4 one, and where the service listens there.
struct ServiceUrl
{
    Scheme scheme = Scheme::Http;
    std::string host;         // dotted IPv4, a name or a bracketed IPv6 literal
    std::optional<Ipv4> ipv4; // the host, when it is dotted IPv4
    uint16_t port = 80;
    std::string path = "/";
    bool ipv6() const { return host.starts_with('['); }
};

// "http[s]://host[:port][/path]"; nothing for another scheme, user information, a bad port or a
// host that is neither dotted IPv4, a DNS name nor a bracketed IPv6 literal.
std::optional<ServiceUrl> parseServiceUrl(std::string_view url);

// A device service as we reach it: always at the address the device answered from.
struct ServiceAddress
{
    std::string url;
    Scheme scheme = Scheme::Http;
    Ipv4 host = 0;
    uint16_t port = 80;
    std::string path = "/";
    std::string xaddrHost; // the host the XAddr named, where that is not `host`
    bool onLink = false;   // host lies in one of the subnets it was chosen against
};

// The XAddr to take from a device that answered from `sender`, reached at `sender` whatever host
// it names: one naming the sender first, then one naming another IPv4 address or a name, then
// an IPv6 one; among XAddrs of the same host, https before http, else in the device's order.
// Nothing when none parses or the sender is no unicast host address.
std::optional<ServiceAddress> chooseServiceAddress(const std::vector<std::string>& xaddrs,
                                                   Ipv4 sender, std::span<const Subnet> subnets);

// "http[s]://a.b.c.d[:port]path", the port left out where it is the scheme's own.
std::string serviceUrlText(Scheme scheme, Ipv4 host, uint16_t port, std::string_view path);

} // namespace tavolix::onvif

#pragma once

#include "Ipv4.h"
#include "Result.h"

#include <string>
#include <vector>

namespace tavolix {

struct InterfaceAddress
{
    Ipv4 address = 0;
    Ipv4 mask = 0;
};

// A local interface a search can go out of: up, broadcast-capable, not
// loopback, with at least one IPv4 address.
struct LocalInterface
{
    std::string name;
    unsigned index = 0;
    std::vector<InterfaceAddress> addresses;

    // True when address lies in one of the interface's own subnets.
    bool isOnLink(Ipv4 address) const;
};

// True when address lies in a subnet of the interface with that index.
bool isOnLink(const std::vector<LocalInterface>& interfaces, unsigned index, Ipv4 address);

// Every such interface, in the kernel's order; empty when none or when the
// list cannot be read.
std::vector<LocalInterface> broadcastInterfaces();

// The named ones among them (all of them when no name is given). A system
// failure when a named one is not usable or when none is.
Result<std::vector<LocalInterface>> selectInterfaces(const std::vector<std::string>& names);

} // namespace tavolix

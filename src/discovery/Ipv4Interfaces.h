#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavolix {

// One IPv4 address of a local interface. An interface with several
// addresses appears once per address.
struct Ipv4InterfaceAddress
{
    std::string name;
    unsigned index = 0;   // 0 when the name has no index (gone meanwhile)
    uint32_t address = 0; // host byte order
    uint32_t mask = 0;    // host byte order
    bool up = false;
    bool running = false; // has a carrier
    bool broadcast = false;
    bool loopback = false;

    // A limited broadcast goes out of it.
    bool canBroadcast() const { return up && broadcast && !loopback && index != 0; }
};

// Every IPv4 address of every interface, in the kernel's order; nothing when
// the list cannot be read.
std::optional<std::vector<Ipv4InterfaceAddress>> listIpv4Addresses();

} // namespace tavolix

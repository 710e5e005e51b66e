#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavolix::doctor {

// An IPv4 interface of this machine (loopback left out), as a search sees it.
struct LocalInterface
{
    std::string name;
    std::string address; // "198.18.0.1/24"
    unsigned index = 0;
    std::vector<uint32_t> addresses; // every IPv4 address, host byte order
    bool up = false;
    bool running = false; // has a carrier
    bool broadcast = false;

    // A search goes out of it and hears replies on it.
    bool usable() const { return up && running && broadcast; }
};

// One entry per interface, shown by its first IPv4 address, in the order the
// kernel lists them. Only the named ones when names are given.
std::vector<LocalInterface> listIpv4Interfaces(const std::vector<std::string>& onlyThese);

} // namespace tavolix::doctor

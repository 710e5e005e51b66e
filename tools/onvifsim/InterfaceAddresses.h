#pragma once

#include "Ipv4.h"

#include <string>
#include <utility>
#include <vector>

namespace tavolix::onvifsim {

// The cameras' addresses on the simulator's interface, added and removed
// with ip(8): the simulator runs in a namespace of its own, as root, and a
// camera that moves must stop answering at its old address.
class InterfaceAddresses final
{
public:
    explicit InterfaceAddresses(std::string interfaceName) : m_interface(std::move(interfaceName))
    {}
    InterfaceAddresses(const InterfaceAddresses&) = delete;
    InterfaceAddresses& operator=(const InterfaceAddresses&) = delete;

    bool add(Ipv4 address, int prefixLength) const;
    // Many at once, through one ip(8) process.
    bool addAll(const std::vector<std::pair<Ipv4, int>>& addresses) const;
    bool remove(Ipv4 address, int prefixLength) const;
    // Old to new; with no interface the addresses are someone else's concern.
    bool move(Ipv4 from, int fromPrefix, Ipv4 to, int toPrefix) const;
    // Without it, removing the subnet's first address would take the other
    // cameras' addresses in that subnet with it.
    bool promoteSecondaries() const;

private:
    bool runIp(const char* verb, const std::string& address) const;

    std::string m_interface;
};

} // namespace tavolix::onvifsim

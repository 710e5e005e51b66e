#pragma once

#include "Ipv4.h"
#include "MacCodec.h"
#include "Result.h"

#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace tavolix {

// One IPv4 entry of the kernel's neighbour table that has a link-layer address.
struct NeighbourEntry
{
    unsigned interfaceIndex = 0;
    Ipv4 address = 0;
    MacAddress mac{};
};

// The IPv4 neighbour table as the kernel has it now (RTM_GETNEIGH over netlink): the entries
// that hold a MAC, reachable or stale.
Result<std::vector<NeighbourEntry>> readNeighbourTable();

// The MACs the table can vouch for: a MAC counts only where it belongs to one address alone.
// Proxy ARP and NAT give one MAC to many addresses, and it is none of theirs.
class NeighbourMacs final
{
public:
    NeighbourMacs() = default;
    explicit NeighbourMacs(const std::vector<NeighbourEntry>& entries);

    // The MAC of address as learnt on that interface, if it is that address's alone.
    std::optional<MacAddress> of(unsigned interfaceIndex, Ipv4 address) const;

private:
    std::map<std::pair<unsigned, Ipv4>, MacAddress> m_macs;
};

} // namespace tavolix

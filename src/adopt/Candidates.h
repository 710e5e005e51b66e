#pragma once

#include "MacCodec.h"
#include "TemporaryAddresses.h"

#include <cstddef>
#include <set>
#include <vector>

namespace tavolix::adopt {

// How many addresses are probed in a subnet before the choice gives up.
constexpr std::size_t candidateLimit = 8;

// The addresses to probe in `subnet`, best first, none of them in `excluded`. A /24 is tried
// from .253 downward, never its network, broadcast, .1 or .254 (where gateways sit). The
// link-local subnet is tried as RFC 3927 says: pseudo-random in 169.254.1.0-169.254.254.255,
// seeded from the interface's MAC so that a host picks the same addresses again.
std::vector<Ipv4> candidateAddresses(const Subnet& subnet, const std::set<Ipv4>& excluded,
                                     const MacAddress& interfaceMac,
                                     std::size_t count = candidateLimit);

} // namespace tavolix::adopt

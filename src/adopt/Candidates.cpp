#include "Candidates.h"

#include <algorithm>
#include <random>

namespace tavolix::adopt {
namespace {

constexpr Ipv4 linkLocalFirst = 0xA9FE0100; // 169.254.1.0
constexpr Ipv4 linkLocalCount = 254 * 256;  // up to 169.254.254.255

std::vector<Ipv4> linkLocalCandidates(const std::set<Ipv4>& excluded, const MacAddress& mac,
                                      std::size_t count)
{
    std::seed_seq seed(mac.begin(), mac.end());
    std::mt19937 random(seed); // the same sequence from the same seed wherever it is built
    std::vector<Ipv4> candidates;
    // Bounded, so that an excluded set as large as the range cannot hold the loop.
    for (Ipv4 draw = 0; draw < 4 * linkLocalCount && candidates.size() < count; ++draw) {
        const Ipv4 candidate = linkLocalFirst + static_cast<Ipv4>(random() % linkLocalCount);
        if (!excluded.contains(candidate) &&
            std::find(candidates.begin(), candidates.end(), candidate) == candidates.end())
            candidates.push_back(candidate);
    }
    return candidates;
}

} // namespace

std::vector<Ipv4> candidateAddresses(const Subnet& subnet, const std::set<Ipv4>& excluded,
                                     const MacAddress& interfaceMac, std::size_t count)
{
    if (subnet.prefix != 24)
        return linkLocalCandidates(excluded, interfaceMac, count);
    std::vector<Ipv4> candidates;
    for (Ipv4 host = 253; host >= 2 && candidates.size() < count; --host) {
        if (!excluded.contains(subnet.network | host))
            candidates.push_back(subnet.network | host);
    }
    return candidates;
}

} // namespace tavolix::adopt

#include "TemporaryAddresses.h"

namespace tavolix::adopt {

namespace {
constexpr Ipv4 linkLocalNetwork = 0xA9FE0000; // 169.254.0.0/16
} // namespace

Subnet subnetAround(Ipv4 device)
{
    if ((device & 0xFFFF0000) == linkLocalNetwork)
        return {linkLocalNetwork, 16};
    return {device & 0xFFFFFF00, 24};
}

std::string subnetText(const Subnet& subnet)
{
    return ipv4Text(subnet.network) + "/" + std::to_string(subnet.prefix);
}

} // namespace tavolix::adopt

#include "Ipv4Interfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <memory>
#include <net/if.h>

namespace tavolix {
namespace {

struct FreeInterfaceList
{
    void operator()(ifaddrs* list) const noexcept { ::freeifaddrs(list); }
};

uint32_t hostOrderAddress(const sockaddr* address)
{
    if (address == nullptr)
        return 0;
    const auto* inet = static_cast<const sockaddr_in*>(static_cast<const void*>(address));
    return ntohl(inet->sin_addr.s_addr);
}

} // namespace

std::optional<std::vector<Ipv4InterfaceAddress>> listIpv4Addresses()
{
    ifaddrs* first = nullptr;
    if (::getifaddrs(&first) != 0)
        return std::nullopt;
    const std::unique_ptr<ifaddrs, FreeInterfaceList> list(first);
    std::vector<Ipv4InterfaceAddress> addresses;
    for (const ifaddrs* entry = list.get(); entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        const unsigned flags = entry->ifa_flags;
        addresses.push_back({
            .name = entry->ifa_name,
            .index = ::if_nametoindex(entry->ifa_name),
            .address = hostOrderAddress(entry->ifa_addr),
            .mask = hostOrderAddress(entry->ifa_netmask),
            .up = (flags & IFF_UP) != 0,
            .running = (flags & IFF_RUNNING) != 0,
            .broadcast = (flags & IFF_BROADCAST) != 0,
            .loopback = (flags & IFF_LOOPBACK) != 0,
        });
    }
    return addresses;
}

} // namespace tavolix

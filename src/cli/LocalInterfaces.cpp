#include "LocalInterfaces.h"

#include <algorithm>
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>

namespace tavolix::cli {
namespace {

Ipv4 addressOf(const sockaddr* address)
{
    const auto* inet = static_cast<const sockaddr_in*>(static_cast<const void*>(address));
    return ntohl(inet->sin_addr.s_addr);
}

} // namespace

bool LocalInterface::isOnLink(Ipv4 address) const
{
    return std::any_of(addresses.begin(), addresses.end(), [&](const InterfaceAddress& own) {
        return inSameSubnet(own.address, address, own.mask);
    });
}

std::vector<LocalInterface> broadcastInterfaces()
{
    std::vector<LocalInterface> interfaces;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return interfaces;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET ||
            entry->ifa_netmask == nullptr)
            continue;
        const unsigned flags = entry->ifa_flags;
        if ((flags & IFF_UP) == 0 || (flags & IFF_BROADCAST) == 0 || (flags & IFF_LOOPBACK) != 0)
            continue;
        const unsigned index = ::if_nametoindex(entry->ifa_name);
        if (index == 0)
            continue;
        auto known = std::find_if(interfaces.begin(), interfaces.end(),
                                  [&](const LocalInterface& i) { return i.index == index; });
        if (known == interfaces.end())
            known = interfaces.insert(interfaces.end(), LocalInterface{entry->ifa_name, index, {}});
        known->addresses.push_back({addressOf(entry->ifa_addr), addressOf(entry->ifa_netmask)});
    }
    ::freeifaddrs(list);
    return interfaces;
}

std::vector<LocalInterface> selectInterfaces(const std::vector<std::string>& names,
                                             std::vector<std::string>& unusable)
{
    std::vector<LocalInterface> usable = broadcastInterfaces();
    if (names.empty())
        return usable;
    std::vector<LocalInterface> selected;
    for (const std::string& name : names) {
        const auto found = std::find_if(usable.begin(), usable.end(),
                                        [&](const LocalInterface& i) { return i.name == name; });
        if (found == usable.end())
            unusable.push_back(name);
        else if (std::none_of(selected.begin(), selected.end(),
                              [&](const LocalInterface& i) { return i.name == name; }))
            selected.push_back(*found);
    }
    return selected;
}

} // namespace tavolix::cli

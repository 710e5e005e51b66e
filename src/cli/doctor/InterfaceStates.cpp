#include "InterfaceStates.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <bit>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace tavolix::doctor {
namespace {

const sockaddr_in* ipv4Of(const sockaddr* address)
{
    return static_cast<const sockaddr_in*>(static_cast<const void*>(address));
}

std::string addressWithPrefix(const ifaddrs& entry)
{
    std::array<char, INET_ADDRSTRLEN> text{};
    ::inet_ntop(AF_INET, &ipv4Of(entry.ifa_addr)->sin_addr, text.data(), text.size());
    int prefix = 0;
    if (entry.ifa_netmask != nullptr)
        prefix = std::popcount(ipv4Of(entry.ifa_netmask)->sin_addr.s_addr);
    return std::string(text.data()) + "/" + std::to_string(prefix);
}

} // namespace

std::vector<LocalInterface> listIpv4Interfaces(const std::vector<std::string>& onlyThese)
{
    std::vector<LocalInterface> interfaces;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return interfaces;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET ||
            (entry->ifa_flags & IFF_LOOPBACK) != 0)
            continue;
        const std::string name = entry->ifa_name;
        if (!onlyThese.empty() &&
            std::find(onlyThese.begin(), onlyThese.end(), name) == onlyThese.end())
            continue;
        const auto known = std::find_if(interfaces.begin(), interfaces.end(),
                                        [&](const LocalInterface& i) { return i.name == name; });
        if (known != interfaces.end())
            continue;
        LocalInterface local;
        local.name = name;
        local.address = addressWithPrefix(*entry);
        local.up = (entry->ifa_flags & IFF_UP) != 0;
        local.running = (entry->ifa_flags & IFF_RUNNING) != 0;
        local.broadcast = (entry->ifa_flags & IFF_BROADCAST) != 0;
        interfaces.push_back(std::move(local));
    }
    ::freeifaddrs(list);
    return interfaces;
}

} // namespace tavolix::doctor

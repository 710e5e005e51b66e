#include "InterfaceStates.h"

#include "Ipv4.h"
#include "Ipv4Interfaces.h"

#include <algorithm>
#include <bit>

namespace tavolix::doctor {
namespace {

std::string addressWithPrefix(const Ipv4InterfaceAddress& entry)
{
    return ipv4Text(entry.address) + "/" + std::to_string(std::popcount(entry.mask));
}

} // namespace

std::vector<LocalInterface> listIpv4Interfaces(const std::vector<std::string>& onlyThese)
{
    std::vector<LocalInterface> interfaces;
    const auto addresses = listIpv4Addresses();
    if (!addresses)
        return interfaces;
    for (const Ipv4InterfaceAddress& entry : *addresses) {
        if (entry.loopback)
            continue;
        if (!onlyThese.empty() &&
            std::find(onlyThese.begin(), onlyThese.end(), entry.name) == onlyThese.end())
            continue;
        const auto known =
            std::find_if(interfaces.begin(), interfaces.end(),
                         [&](const LocalInterface& i) { return i.name == entry.name; });
        if (known != interfaces.end()) {
            known->addresses.push_back(entry.address);
            continue;
        }
        interfaces.push_back({entry.name,
                              addressWithPrefix(entry),
                              entry.index,
                              {entry.address},
                              entry.up,
                              entry.running,
                              entry.broadcast});
    }
    return interfaces;
}

} // namespace tavolix::doctor

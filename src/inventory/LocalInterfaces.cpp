#include "LocalInterfaces.h"

#include "Ipv4Interfaces.h"

#include <algorithm>

namespace tavolix {

bool LocalInterface::isOnLink(Ipv4 address) const
{
    return std::any_of(addresses.begin(), addresses.end(), [&](const InterfaceAddress& own) {
        return inSameSubnet(own.address, address, own.mask);
    });
}

bool isOnLink(const std::vector<LocalInterface>& interfaces, unsigned index, Ipv4 address)
{
    return std::any_of(interfaces.begin(), interfaces.end(), [&](const LocalInterface& i) {
        return i.index == index && i.isOnLink(address);
    });
}

std::vector<LocalInterface> broadcastInterfaces()
{
    std::vector<LocalInterface> interfaces;
    const auto addresses = listIpv4Addresses();
    if (!addresses)
        return interfaces;
    for (const Ipv4InterfaceAddress& entry : *addresses) {
        if (!entry.canBroadcast())
            continue;
        auto known = std::find_if(interfaces.begin(), interfaces.end(),
                                  [&](const LocalInterface& i) { return i.index == entry.index; });
        if (known == interfaces.end())
            known =
                interfaces.insert(interfaces.end(), LocalInterface{entry.name, entry.index, {}});
        known->addresses.push_back({entry.address, entry.mask});
    }
    return interfaces;
}

Result<std::vector<LocalInterface>> selectInterfaces(const std::vector<std::string>& names)
{
    std::vector<LocalInterface> usable = broadcastInterfaces();
    std::vector<LocalInterface> selected;
    std::string unusable;
    for (const std::string& name : names) {
        const auto found = std::find_if(usable.begin(), usable.end(),
                                        [&](const LocalInterface& i) { return i.name == name; });
        if (found == usable.end())
            unusable += " " + name;
        else if (std::none_of(selected.begin(), selected.end(),
                              [&](const LocalInterface& i) { return i.name == name; }))
            selected.push_back(*found);
    }
    if (!unusable.empty())
        return systemFailure("not an up, broadcast-capable IPv4 interface:" + unusable);
    if (names.empty())
        selected = std::move(usable);
    if (selected.empty())
        return systemFailure("no usable interface: none is up, broadcast-capable and has an IPv4 "
                             "address");
    return selected;
}

} // namespace tavolix

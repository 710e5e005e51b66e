#include "AddressPlanner.h"

#include "Datagram.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace tavolix {
namespace {} // namespace

Result<AddressPlan> planAddresses(std::vector<Device> found, const AddressPlanRequest& request)
{
    std::set<Ipv4> used;
    for (const Device& device : found)
        used.insert(device.ip);
    std::sort(found.begin(), found.end(),
              [](const Device& a, const Device& b) { return a.mac < b.mac; });

    AddressPlan plan;
    uint64_t next = request.from;
    int number = 0;
    for (Device& device : found) {
        if (!device.settingsRead) {
            // Its address still counts as used above.
            plan.notes.push_back("the ONVIF device at " + ipv4Text(device.ip) + " (" +
                                 device.serviceUrl + ") left out: its " +
                                 (macKnown(device) ? "settings are" : "MAC is") +
                                 " unknown without a login it accepts");
            continue;
        }
        if (device.kind == DeviceKind::ReadOnly) {
            plan.notes.push_back(macToText(device.mac) +
                                 " left out: a kind 3 device lets nothing be changed");
            continue;
        }
        const Ipv4 mask = request.mask.value_or(device.mask);
        while (next <= 0xFFFFFFFF && (used.contains(static_cast<Ipv4>(next)) ||
                                      isNetworkOrBroadcast(static_cast<Ipv4>(next), mask)))
            ++next;
        if (next > 0xFFFFFFFF || !inSameSubnet(static_cast<Ipv4>(next), request.from, mask))
            return refused("the subnet of " + ipv4Text(request.from) + "/" + ipv4Text(mask) +
                           " has no free address left for " + macToText(device.mac));
        device.ip = static_cast<Ipv4>(next++);
        device.mask = mask;
        device.gateway = request.gateway.value_or(device.gateway);
        device.mode = AddressMode::Static;
        if (!request.namePrefix.empty()) {
            std::array<char, 16> digits{};
            std::snprintf(digits.data(), digits.size(), "%03d", ++number);
            const std::string name = request.namePrefix + digits.data();
            if (name.size() > valueSize(Tag::Name))
                return refused("the name " + name + " is longer than " +
                               std::to_string(valueSize(Tag::Name)) + " bytes");
            device.name = name;
        }
        plan.devices.push_back(device);
    }
    return plan;
}

} // namespace tavolix

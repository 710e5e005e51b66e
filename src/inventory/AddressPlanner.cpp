#include "AddressPlanner.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace tavolix {
namespace {

std::string subnetText(Ipv4 address, Ipv4 mask)
{
    return ipv4Text(address & mask) + "/" + ipv4Text(mask);
}

// A device moved off its subnet cannot keep its mask and gateway: they belong to the old one.
std::optional<std::string> strandedBy(const Device& device, const DeviceSettings& planned,
                                      bool maskGiven)
{
    if (!maskGiven && !inSameSubnet(*planned.ip, device.ip, device.mask))
        return "its new address " + ipv4Text(*planned.ip) + " lies outside its subnet " +
               subnetText(device.ip, device.mask) + ": give --mask and --gateway of the new one";
    if (*planned.gateway != 0 && !inSameSubnet(*planned.gateway, *planned.ip, *planned.mask))
        return "its gateway " + ipv4Text(*planned.gateway) + " would lie outside " +
               subnetText(*planned.ip, *planned.mask) + ": give --gateway";
    return std::nullopt;
}

} // namespace

Result<AddressPlan> planAddresses(std::vector<Device> found, const AddressPlanRequest& request,
                                  const DeviceProtocol& protocol)
{
    std::set<Ipv4> used;
    for (const Device& device : found)
        used.insert(device.ip);
    std::sort(found.begin(), found.end(),
              [](const Device& a, const Device& b) { return a.mac < b.mac; });

    AddressPlan plan;
    uint64_t next = request.from;
    int number = 0;
    const std::vector<bool> shared = macConflicts(found);
    for (std::size_t i = 0; i < found.size(); ++i) {
        Device& device = found[i];
        if (shared[i]) {
            plan.notes.push_back("the device at " + ipv4Text(device.ip) + " left out: " +
                                 soleDeviceWith(found, device.mac).failure().message);
            continue;
        }
        if (!device.settingsRead) {
            // Its address still counts as used above.
            plan.notes.push_back("the ONVIF device at " + ipv4Text(device.ip) + " (" +
                                 device.serviceUrl + ") left out: its " +
                                 (macKnown(device) ? "settings are" : "MAC is") + " unknown " +
                                 (device.onLink ? "without a login it accepts"
                                                : "on a subnet this host is not on without "
                                                  "--adopt (as root)"));
            continue;
        }
        const Ipv4 mask = request.mask.value_or(device.mask);
        while (next <= 0xFFFFFFFF && (used.contains(static_cast<Ipv4>(next)) ||
                                      isNetworkOrBroadcast(static_cast<Ipv4>(next), mask)))
            ++next;
        if (next > 0xFFFFFFFF || !inSameSubnet(static_cast<Ipv4>(next), request.from, mask))
            return refused("the subnet of " + ipv4Text(request.from) + "/" + ipv4Text(mask) +
                           " has no free address left for " + macToText(device.mac));
        DeviceSettings planned;
        planned.ip = static_cast<Ipv4>(next);
        planned.mask = mask;
        planned.gateway = request.gateway.value_or(device.gateway);
        planned.mode = AddressMode::Static;
        if (const auto stranded = strandedBy(device, planned, request.mask.has_value())) {
            plan.notes.push_back(macToText(device.mac) + " left out: " + *stranded);
            continue;
        }
        if (!request.namePrefix.empty()) {
            std::array<char, 16> digits{};
            std::snprintf(digits.data(), digits.size(), "%03d", number + 1);
            planned.name = request.namePrefix + digits.data();
        }
        // A device whose protocol refuses the change keeps its address for the next one.
        if (const auto checked = protocol.checkChange(device, planned, {}); !checked) {
            plan.notes.push_back(macToText(device.mac) + " left out: " + checked.failure().message);
            continue;
        }
        ++next;
        ++number;
        device.ip = *planned.ip;
        device.mask = mask;
        device.gateway = *planned.gateway;
        device.mode = AddressMode::Static;
        device.name = planned.name.value_or(device.name);
        plan.devices.push_back(device);
    }
    return plan;
}

} // namespace tavolix

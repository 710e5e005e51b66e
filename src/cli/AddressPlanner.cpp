#include "AddressPlanner.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace tavolix::cli {
namespace {

constexpr std::array<uint8_t, 4> staticModeBytes = {modeOff, modeOff, modeOff, modeOff};

void setAddress(std::array<char, 16>& field, Ipv4 address)
{
    setFieldText(field, ipv4Text(address));
}

} // namespace

Result<AddressPlan> planAddresses(std::vector<FoundDevice> found, const AddressPlanRequest& request)
{
    std::set<Ipv4> used;
    for (const FoundDevice& device : found) {
        if (const auto ip = parseIpv4(fieldText(device.record.ipAddress)))
            used.insert(*ip);
    }
    std::sort(found.begin(), found.end(), [](const FoundDevice& a, const FoundDevice& b) {
        return a.record.mac < b.record.mac;
    });

    AddressPlan plan;
    uint64_t next = request.from;
    int number = 0;
    for (FoundDevice& device : found) {
        DeviceRecord& record = device.record;
        if (record.kind == DeviceKind::ReadOnly) {
            plan.notes.push_back(macToText(record.mac) +
                                 " left out: a kind 3 device lets nothing be changed");
            continue;
        }
        const Ipv4 mask =
            request.mask.value_or(parseIpv4(fieldText(record.subnetMask)).value_or(0));
        while (next <= 0xFFFFFFFF && (used.contains(static_cast<Ipv4>(next)) ||
                                      isNetworkOrBroadcast(static_cast<Ipv4>(next), mask)))
            ++next;
        if (next > 0xFFFFFFFF || !inSameSubnet(static_cast<Ipv4>(next), request.from, mask))
            return refused("the subnet of " + ipv4Text(request.from) + "/" + ipv4Text(mask) +
                           " has no free address left for " + macToText(record.mac));
        const Ipv4 address = static_cast<Ipv4>(next++);
        setAddress(record.ipAddress, address);
        setAddress(record.subnetMask, mask);
        if (request.gateway)
            setAddress(record.gateway, *request.gateway);
        record.networkMode = staticModeBytes;
        if (!request.namePrefix.empty()) {
            std::array<char, 16> digits{};
            std::snprintf(digits.data(), digits.size(), "%03d", ++number);
            const std::string name = request.namePrefix + digits.data();
            if (name.size() > valueSize(Tag::Name))
                return refused("the name " + name + " is longer than " +
                               std::to_string(valueSize(Tag::Name)) + " bytes");
            setFieldText(record.name, name);
        }
        plan.devices.push_back(device);
    }
    return plan;
}

} // namespace tavolix::cli

#pragma once

#include "Device.h"
#include "DeviceProtocol.h"
#include "Ipv4.h"
#include "Result.h"

#include <optional>
#include <string>
#include <vector>

namespace tavolix {

struct AddressPlanRequest
{
    Ipv4 from = 0;
    std::optional<Ipv4> mask;    // nothing: each device keeps its own
    std::optional<Ipv4> gateway; // nothing: each device keeps its own
    std::string namePrefix;      // empty: names stay
};

struct AddressPlan
{
    std::vector<Device> devices;    // as they will read back, in MAC order
    std::vector<std::string> notes; // devices left out, and why
};

// Gives every found device whose MAC is known and its own, in MAC order, the next free
// static address from `from` upwards: not one that any found device uses,
// not the subnet's network or broadcast address, and in the subnet of
// `from`. Names become the prefix and a three-digit number. A device whose
// protocol refuses its planned change (checkChange: a kind 3 device, a name
// too long for it) is left out with a note. Refused when the subnet runs
// out of addresses.
Result<AddressPlan> planAddresses(std::vector<Device> found, const AddressPlanRequest& request,
                                  const DeviceProtocol& protocol);

} // namespace tavolix

#include "Device.h"

#include <algorithm>

namespace tavolix {

const Device* findDevice(const std::vector<Device>& devices, const MacAddress& mac)
{
    const auto device =
        std::find_if(devices.begin(), devices.end(), [&](const Device& d) { return d.mac == mac; });
    return device == devices.end() ? nullptr : &*device;
}

} // namespace tavolix

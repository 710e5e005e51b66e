#include "Device.h"

#include <algorithm>

namespace tavolix {

std::string_view protocolsName(Protocols protocols)
{
    switch (protocols) {
    case Protocols::Native:
        return "native";
    case Protocols::Onvif:
        return "onvif";
    case Protocols::Both:
        break;
    }
    return "native+onvif";
}

const Device* findDevice(const std::vector<Device>& devices, const MacAddress& mac)
{
    const auto device =
        std::find_if(devices.begin(), devices.end(), [&](const Device& d) { return d.mac == mac; });
    return device == devices.end() ? nullptr : &*device;
}

} // namespace tavolix

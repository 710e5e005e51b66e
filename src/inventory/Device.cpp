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

std::string_view loginSchemeName(LoginScheme scheme)
{
    switch (scheme) {
    case LoginScheme::Unknown:
        break;
    case LoginScheme::None:
        return "none";
    case LoginScheme::DigestMd5:
        return "digest-md5";
    case LoginScheme::DigestSha256:
        return "digest-sha256";
    case LoginScheme::UsernameToken:
        return "wsse";
    }
    return "";
}

std::string_view addressOriginName(AddressOrigin origin)
{
    switch (origin) {
    case AddressOrigin::Manual:
        break;
    case AddressOrigin::Dhcp:
        return "dhcp";
    case AddressOrigin::LinkLocal:
        return "link-local";
    }
    return "manual";
}

namespace {

bool sameDevice(const Device& a, const Device& b)
{
    return (macKnown(a) && macKnown(b) && a.mac == b.mac) ||
           (!a.endpoint.empty() && a.endpoint == b.endpoint);
}

} // namespace

std::vector<bool> ipConflicts(const std::vector<Device>& devices)
{
    std::vector<bool> conflicts(devices.size(), false);
    for (std::size_t i = 0; i < devices.size(); ++i) {
        for (std::size_t j = i + 1; j < devices.size(); ++j) {
            if (devices[i].ip == devices[j].ip && !sameDevice(devices[i], devices[j]))
                conflicts[i] = conflicts[j] = true;
        }
    }
    return conflicts;
}

const Device* findDevice(const std::vector<Device>& devices, const MacAddress& mac)
{
    const auto device = std::find_if(devices.begin(), devices.end(), [&](const Device& d) {
        return d.settingsRead && d.mac == mac;
    });
    return device == devices.end() ? nullptr : &*device;
}

} // namespace tavolix

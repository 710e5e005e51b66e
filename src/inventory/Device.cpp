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

std::vector<bool> macConflicts(const std::vector<Device>& devices)
{
    std::vector<bool> conflicts(devices.size(), false);
    for (std::size_t i = 0; i < devices.size(); ++i) {
        for (std::size_t j = i + 1; j < devices.size(); ++j) {
            if (macKnown(devices[i]) && macKnown(devices[j]) && devices[i].mac == devices[j].mac)
                conflicts[i] = conflicts[j] = true;
        }
    }
    return conflicts;
}

Result<> soleDeviceWith(const std::vector<Device>& devices, const MacAddress& mac)
{
    std::string places;
    std::size_t count = 0;
    for (const Device& device : devices) {
        if (macKnown(device) && device.mac == mac) {
            places += (count == 0 ? "" : ", ") + ipv4Text(device.ip);
            ++count;
        }
    }
    if (count < 2)
        return Done{};
    return refused(std::to_string(count) + " devices answer with MAC " + macToText(mac) + " (at " +
                   places + "): a change sent to it could reach any of them");
}

const Device* findDevice(const std::vector<Device>& devices, const MacAddress& mac)
{
    const auto device = std::find_if(devices.begin(), devices.end(), [&](const Device& d) {
        return d.settingsRead && d.mac == mac;
    });
    return device == devices.end() ? nullptr : &*device;
}

} // namespace tavolix

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

// Two EndpointReferences are two devices whatever MAC they show: ONVIF devices
// on one address are all read through it, and show the MAC of whichever answers.
bool sameDevice(const Device& a, const Device& b)
{
    if (!a.endpoint.empty() && !b.endpoint.empty())
        return a.endpoint == b.endpoint;
    return macKnown(a) && macKnown(b) && a.mac == b.mac;
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
    std::vector<const Device*> holders;
    std::string places;
    for (const Device& device : devices) {
        if (macKnown(device) && device.mac == mac) {
            places += (holders.empty() ? "" : ", ") + ipv4Text(device.ip);
            holders.push_back(&device);
        }
    }
    if (holders.size() < 2)
        return Done{};
    // Read through one address, ONVIF devices there all show the MAC of one of them.
    const bool oneOnvifAddress = std::ranges::all_of(holders, [&](const Device* device) {
        return speaks(*device, Protocols::Onvif) && device->source == holders.front()->source;
    });
    if (oneOnvifAddress)
        return refused(onvifAddressShared(holders.size(), holders.front()->source));
    return refused(std::to_string(holders.size()) + " devices answer with MAC " + macToText(mac) +
                   " (at " + places + "): a change sent to it could reach any of them");
}

const Device* findDevice(const std::vector<Device>& devices, const MacAddress& mac)
{
    const auto device = std::find_if(devices.begin(), devices.end(), [&](const Device& d) {
        return d.settingsRead && d.mac == mac;
    });
    return device == devices.end() ? nullptr : &*device;
}

std::string onvifAddressShared(std::size_t count, Ipv4 address)
{
    return std::to_string(count) + " ONVIF devices answer from " + ipv4Text(address) +
           ": HTTP cannot tell them apart; connect them one at a time or give them DHCP";
}

} // namespace tavolix

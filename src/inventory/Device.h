#pragma once

#include "DeviceRecord.h"
#include "Ipv4.h"
#include "MacCodec.h"
#include "Result.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavolix {

// The protocols a device answered in; a device that speaks both is one row.
enum class Protocols : uint8_t
{
    Native = 1, // the devices' own UDP broadcast
    Onvif = 2,
    Both = Native | Onvif,
};

// How a row's MAC became known. Only a read one comes from the device's
// settings; the others are what an unread device tells of itself.
enum class MacSource : uint8_t
{
    Unknown,          // an ONVIF device read without a login that tells nothing
    Read,             // from its reply or its network interfaces
    EndpointUuid,     // the node of a version-1 UUID in its EndpointReference
    LinkLocalAddress, // the interface ID of its fe80:: XAddr in modified EUI-64 form
    Neighbour,        // the local neighbour table, where it gives that MAC to no other address
};

// How a device asked for the login, as the first call that needed one found.
enum class LoginScheme : uint8_t
{
    Unknown,       // not found: no login was given, or no call needed one
    None,          // the device answered without asking for one
    DigestMd5,     // HTTP Digest with MD5
    DigestSha256,  // HTTP Digest with SHA-256
    UsernameToken, // WS-Security UsernameToken in the SOAP header
};

// "", "none", "digest-md5", "digest-sha256", "wsse".
std::string_view loginSchemeName(LoginScheme scheme);

// Where an IPv4 address of a device's interface came from.
enum class AddressOrigin : uint8_t
{
    Manual,
    Dhcp,
    LinkLocal,
};

// "manual", "dhcp", "link-local".
std::string_view addressOriginName(AddressOrigin origin);

struct DeviceAddress
{
    Ipv4 address = 0;
    unsigned prefixLength = 0;
    AddressOrigin origin = AddressOrigin::Manual;
    bool operator==(const DeviceAddress&) const = default;
};

// One device as a search found it, whatever protocol it speaks: its values
// parsed once from its reply, and where that reply came from.
struct Device
{
    Protocols protocols = Protocols::Native;
    MacAddress mac{}; // the key by which searches know it again
    std::string name; // the device's own bytes: UTF-8 or a legacy code page
    Ipv4 ip = 0;
    Ipv4 mask = 0;
    Ipv4 gateway = 0;
    uint16_t httpPort = 0;
    AddressMode mode = AddressMode::Static;
    DeviceKind kind = DeviceKind::Unstated;
    std::string version;      // bytes, as name
    std::string pppoeAccount; // bytes, as name
    // What only ONVIF tells (UTF-8): empty for devices that speak only ours.
    std::string manufacturer;
    std::string model;
    std::string serial;
    std::string serviceUrl; // the device service the settings are read and changed at
    std::string endpoint;   // its EndpointReference: its key while its MAC is unknown
    // False for an ONVIF device read without a login: its mask, gateway and
    // mode are then unknown, and listed empty; its MAC only as macSource says.
    bool settingsRead = true;
    MacSource macSource = MacSource::Read;
    // What only ONVIF tells: how the device asked for the login, how far its
    // clock runs from ours (its minus ours; nothing when it was not read),
    // the host its XAddr named where that is not the address it answered
    // from (device text), and every IPv4 address of its interface.
    LoginScheme login = LoginScheme::Unknown;
    std::optional<std::chrono::seconds> clockOffset;
    std::string xaddrHost;
    std::vector<DeviceAddress> addresses;

    std::string interfaceName; // the local interface the reply came in on
    unsigned interfaceIndex = 0;
    Ipv4 source = 0;     // the reply's sender
    bool onLink = false; // ip lies in a subnet of that interface
};

inline bool macKnown(const Device& device)
{
    return device.macSource != MacSource::Unknown;
}

inline bool speaks(const Device& device, Protocols protocol)
{
    return (static_cast<uint8_t>(device.protocols) & static_cast<uint8_t>(protocol)) != 0;
}

// "native", "onvif" or "native+onvif".
std::string_view protocolsName(Protocols protocols);

// Per device, whether another device reports its IP address. Rows known to
// be one device (the same EndpointReference, or without two, the same known
// MAC) are one device here and never conflict with each other.
std::vector<bool> ipConflicts(const std::vector<Device>& devices);

// Per device, whether another device answers with its known MAC (a cloned
// firmware): a change sent by that MAC could reach either, so none may be.
std::vector<bool> macConflicts(const std::vector<Device>& devices);

// Refused, naming where they answer, when two or more devices answer with
// this MAC; nothing may then be planned or sent for it. ONVIF devices that
// answer from one address as well are refused as onvifAddressShared() says.
Result<> soleDeviceWith(const std::vector<Device>& devices, const MacAddress& mac);

// The device with this MAC among devices whose settings were read; nothing
// when none has it. A MAC an unread device told of itself lists and merges
// it, but its settings are unknown: nothing may be planned or sent for it.
const Device* findDevice(const std::vector<Device>& devices, const MacAddress& mac);

// Why no change may go to `count` ONVIF devices that answer from one address.
std::string onvifAddressShared(std::size_t count, Ipv4 address);

} // namespace tavolix

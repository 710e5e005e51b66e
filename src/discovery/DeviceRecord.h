#pragma once

#include "Datagram.h"
#include "Ipv4.h"
#include "MacCodec.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tavolix {

// What a device lets the user change, as the kind in its reply says.
enum class DeviceKind : int32_t
{
    Unstated = 0,     // no kind in the reply: what the mode allows
    WithoutPppoe = 1, // no PPPoE; addresses only in static mode
    ReadOnly = 3,     // nothing
};

// A network-mode byte: bytes 0-1 stand for PPPoE, 2-3 for DHCP; static is
// neither on.
inline constexpr uint8_t modeOn = 0x01;
inline constexpr uint8_t modeOff = 0xFF;

enum class AddressMode
{
    Static,
    Dhcp,
    Pppoe,
};

// The mode the window's choice buttons show for a device: PPPoE when byte 0
// is on, else DHCP when byte 2 is, else static.
constexpr AddressMode
chosenAddressMode(const std::array<uint8_t, valueSize(Tag::NetworkMode)>& networkMode)
{
    if (networkMode[0] != modeOff)
        return AddressMode::Pppoe;
    if (networkMode[2] != modeOff)
        return AddressMode::Dhcp;
    return AddressMode::Static;
}

// One discovered device. Texts are fixed-width, zero-padded byte strings as
// they arrive on the wire, each as wide as its tag's value; a text that fills
// its field has no terminator, apart from the name, which always has one.
// Addresses are values: nothing when the reply did not carry one.
struct DeviceRecord
{
    int32_t slot = 0; // 1..255 once stored; 0 marks an empty slot
    DeviceKind kind = DeviceKind::Unstated;
    std::array<char, valueSize(Tag::Name) + 1> name{};
    std::array<char, valueSize(Tag::Version)> version{};
    MacAddress mac{};
    std::optional<Ipv4> ipAddress;
    std::optional<Ipv4> subnetMask;
    std::optional<Ipv4> gateway;
    int32_t httpPort = 0;
    std::array<uint8_t, valueSize(Tag::NetworkMode)> networkMode{};
    std::array<char, valueSize(Tag::PppoeAccount)> pppoeAccount{};
    std::array<char, valueSize(Tag::PppoePassword)> pppoePassword{};

    bool operator==(const DeviceRecord&) const = default;
};

// The text of a fixed-width field: up to its first zero byte, never past its width.
template <std::size_t N> std::string_view fieldText(const std::array<char, N>& field)
{
    std::size_t length = 0;
    while (length < N && field[length] != '\0')
        ++length;
    return {field.data(), length};
}

// Copies text into a fixed-width field, cut at the width and zero-padded.
template <std::size_t N> void setFieldText(std::array<char, N>& field, std::string_view text)
{
    field.fill('\0');
    text.copy(field.data(), std::min(text.size(), N));
}

} // namespace tavolix

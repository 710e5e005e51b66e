#pragma once

#include "DeviceRecord.h"
#include "Ipv4.h"

#include <cstdint>
#include <optional>
#include <span>

namespace tavolix {

// The values of one reply, decoded once: the window's DeviceRecord and the
// command-line tool's device row are both made from them. Texts point into
// the reply's bytes. A value cut off by the end of the datagram is taken as
// far as it was received and the missing bytes count as zero; a tag that
// comes twice counts as it came last.
struct ReplyValues
{
    MacAddress mac{};
    std::optional<Ipv4> ip; // nothing when the reply has no such record
    std::optional<Ipv4> mask;
    std::optional<Ipv4> gateway;
    uint16_t httpPort = 0;
    std::array<uint8_t, valueSize(Tag::NetworkMode)> networkMode{};
    DeviceKind kind = DeviceKind::Unstated;
    std::span<const uint8_t> name;
    std::span<const uint8_t> version;
    std::span<const uint8_t> pppoeAccount;
    std::span<const uint8_t> pppoePassword;
};

// Nothing when the bytes do not start with the magic.
std::optional<ReplyValues> decodeReplyValues(std::span<const uint8_t> bytes);

} // namespace tavolix

#include "ReplyValues.h"

namespace tavolix {
namespace {

uint8_t byteAt(std::span<const uint8_t> value, std::size_t index)
{
    return index < value.size() ? value[index] : 0;
}

template <std::size_t N> std::array<uint8_t, N> bytesOf(std::span<const uint8_t> value)
{
    std::array<uint8_t, N> bytes{};
    for (std::size_t i = 0; i < N; ++i)
        bytes[i] = byteAt(value, i);
    return bytes;
}

Ipv4 addressOf(std::span<const uint8_t> value)
{
    return Ipv4{byteAt(value, 0)} << 24 | Ipv4{byteAt(value, 1)} << 16 |
           Ipv4{byteAt(value, 2)} << 8 | byteAt(value, 3);
}

void applyRecord(ReplyValues& values, const ReceivedRecord& record)
{
    const std::span<const uint8_t> value = record.value;
    switch (static_cast<Tag>(record.tag)) {
    case Tag::Mac:
        values.mac = bytesOf<valueSize(Tag::Mac)>(value);
        break;
    case Tag::IpAddress:
        values.ip = addressOf(value);
        break;
    case Tag::SubnetMask:
        values.mask = addressOf(value);
        break;
    case Tag::Gateway:
        values.gateway = addressOf(value);
        break;
    case Tag::HttpPort: // little-endian, unlike the addresses
        values.httpPort = static_cast<uint16_t>(byteAt(value, 0) + 256 * byteAt(value, 1));
        break;
    case Tag::NetworkMode:
        values.networkMode = bytesOf<valueSize(Tag::NetworkMode)>(value);
        break;
    case Tag::Name:
        values.name = value;
        break;
    case Tag::Version:
        values.version = value;
        break;
    case Tag::PppoeAccount:
        values.pppoeAccount = value;
        break;
    case Tag::PppoePassword:
        values.pppoePassword = value;
        break;
    case Tag::DeviceKind: {
        // Only the kinds a device may state count; anything else leaves the
        // kind to what the mode allows.
        const auto stated = static_cast<DeviceKind>(byteAt(value, 1));
        if (byteAt(value, 0) == 0x00 &&
            (stated == DeviceKind::WithoutPppoe || stated == DeviceKind::ReadOnly))
            values.kind = stated;
        break;
    }
    default:
        break; // credentials and unknown tags describe nothing
    }
}

} // namespace

std::optional<ReplyValues> decodeReplyValues(std::span<const uint8_t> bytes)
{
    if (!hasMagic(bytes))
        return std::nullopt;
    ReplyValues values;
    RecordReader reader(bytes);
    while (const auto record = reader.next())
        applyRecord(values, *record);
    return values;
}

} // namespace tavolix

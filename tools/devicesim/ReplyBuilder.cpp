#include "ReplyBuilder.h"

#include <algorithm>

namespace tavolix::devicesim {
namespace {

template <std::size_t N> std::span<const uint8_t> textBytes(const std::array<char, N>& text)
{
    return {static_cast<const uint8_t*>(static_cast<const void*>(text.data())), N};
}

// Filler records of up to 255 value bytes until `total` bytes (headers
// included) have been written; a last remainder below one header is dropped.
bool appendPadding(DatagramWriter& writer, int total)
{
    static constexpr std::array<uint8_t, 255> filler = [] {
        std::array<uint8_t, 255> bytes{};
        bytes.fill(0xA5);
        return bytes;
    }();
    int remaining = total;
    while (remaining > 2) {
        const int length = std::min(remaining - 2, 255);
        if (!writer.appendRecord(paddingTag, static_cast<uint8_t>(length), filler))
            return false;
        remaining -= length + 2;
    }
    return true;
}

} // namespace

std::span<const uint8_t> buildReply(const SimulatedDevice& device, int paddingBytes,
                                    ReplyBuffer& buffer)
{
    DatagramWriter writer(buffer);
    // Devices state their port as a 16-bit little-endian number.
    const std::array<uint8_t, 5> port = {static_cast<uint8_t>(device.httpPort & 0xFF),
                                         static_cast<uint8_t>(device.httpPort >> 8), 0, 0, 0};
    const std::array<uint8_t, 2> kind = {0x00, static_cast<uint8_t>(device.kind)};
    const bool written =
        writer.appendRecord(Tag::Mac, device.mac) &&
        writer.appendRecord(Tag::IpAddress, device.ipAddress) &&
        writer.appendRecord(Tag::SubnetMask, device.subnetMask) &&
        writer.appendRecord(Tag::Gateway, device.gateway) &&
        writer.appendRecord(Tag::HttpPort, port) &&
        writer.appendRecord(Tag::NetworkMode, device.networkMode) &&
        writer.appendRecord(Tag::Name, textBytes(device.name)) &&
        writer.appendRecord(Tag::Version, textBytes(device.version)) &&
        writer.appendRecord(Tag::PppoeAccount, textBytes(device.pppoeAccount)) &&
        writer.appendRecord(Tag::PppoePassword, textBytes(device.pppoePassword)) &&
        (device.kind == DeviceKind::Unstated || writer.appendRecord(Tag::DeviceKind, kind)) &&
        appendPadding(writer, paddingBytes);
    if (!written)
        return {};
    return writer.bytes();
}

} // namespace tavolix::devicesim

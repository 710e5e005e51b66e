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
bool appendPadding(ReplyWriter& writer, int total)
{
    static constexpr std::array<uint8_t, 255> filler = [] {
        std::array<uint8_t, 255> bytes{};
        bytes.fill(0xA5);
        return bytes;
    }();
    int remaining = total;
    while (remaining > 2) {
        const int length = std::min(remaining - 2, 255);
        if (!writer.append(paddingTag, static_cast<uint8_t>(length), filler))
            return false;
        remaining -= length + 2;
    }
    return true;
}

} // namespace

ReplyWriter::ReplyWriter(ReplyBuffer& buffer) : m_buffer(buffer)
{
    m_buffer.fill(0);
    std::copy(datagramMagic.begin(), datagramMagic.end(), m_buffer.begin());
    m_cursor = datagramMagic.size();
}

bool ReplyWriter::append(uint8_t tag, uint8_t length, std::span<const uint8_t> value)
{
    const std::size_t recordSize = 2 + std::size_t{length};
    if (recordSize > m_buffer.size() - m_cursor)
        return false;
    m_buffer[m_cursor] = tag;
    m_buffer[m_cursor + 1] = length;
    uint8_t* valueStart = m_buffer.data() + m_cursor + 2;
    std::fill_n(valueStart, length, uint8_t{0});
    std::copy_n(value.begin(), std::min(value.size(), std::size_t{length}), valueStart);
    m_cursor += recordSize;
    return true;
}

bool ReplyWriter::append(Tag tag, std::span<const uint8_t> value)
{
    return append(static_cast<uint8_t>(tag), templateFor(tag).size, value);
}

std::span<const uint8_t> buildReply(const SimulatedDevice& device, int paddingBytes,
                                    ReplyBuffer& buffer)
{
    ReplyWriter writer(buffer);
    // Devices state their port as a 16-bit little-endian number.
    const std::array<uint8_t, 5> port = {static_cast<uint8_t>(device.httpPort & 0xFF),
                                         static_cast<uint8_t>(device.httpPort >> 8), 0, 0, 0};
    const std::array<uint8_t, 2> kind = {0x00, static_cast<uint8_t>(device.kind)};
    const bool written =
        writer.append(Tag::Mac, device.mac) && writer.append(Tag::IpAddress, device.ipAddress) &&
        writer.append(Tag::SubnetMask, device.subnetMask) &&
        writer.append(Tag::Gateway, device.gateway) && writer.append(Tag::HttpPort, port) &&
        writer.append(Tag::NetworkMode, device.networkMode) &&
        writer.append(Tag::Name, textBytes(device.name)) &&
        writer.append(Tag::Version, textBytes(device.version)) &&
        writer.append(Tag::PppoeAccount, textBytes(device.pppoeAccount)) &&
        writer.append(Tag::PppoePassword, textBytes(device.pppoePassword)) &&
        (device.kind == 0 || writer.append(Tag::DeviceKind, kind)) &&
        appendPadding(writer, paddingBytes);
    if (!written)
        return {};
    return writer.bytes();
}

} // namespace tavolix::devicesim

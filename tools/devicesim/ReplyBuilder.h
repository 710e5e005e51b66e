#pragma once

#include "Datagram.h"
#include "SimulatedDevice.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tavolix::devicesim {

using ReplyBuffer = std::array<uint8_t, replyCapacity>;

// Writes a reply datagram into a fixed 3000-byte buffer: the magic, then
// records. Capacity is checked before every write.
class ReplyWriter final
{
public:
    explicit ReplyWriter(ReplyBuffer& buffer);
    ReplyWriter(const ReplyWriter&) = delete;
    ReplyWriter& operator=(const ReplyWriter&) = delete;

    // Writes tag, length byte and exactly `length` value bytes (value
    // zero-padded or cut to fit). False, writing nothing, when it would not fit.
    bool append(uint8_t tag, uint8_t length, std::span<const uint8_t> value);
    bool append(Tag tag, std::span<const uint8_t> value);

    std::span<const uint8_t> bytes() const { return {m_buffer.data(), m_cursor}; }

private:
    ReplyBuffer& m_buffer;
    std::size_t m_cursor = 0;
};

// The tag of the filler records that lengthen a reply; readers skip it.
inline constexpr uint8_t paddingTag = 0x7e;

// The reply a device sends to a search, every record at its tag's size:
// Mac, IpAddress, SubnetMask, Gateway, HttpPort, NetworkMode, Name, Version,
// PppoeAccount, PppoePassword and, for kinds 1 and 3, DeviceKind; then
// paddingBytes of filler records. Empty when it does not fit the buffer.
std::span<const uint8_t> buildReply(const SimulatedDevice& device, int paddingBytes,
                                    ReplyBuffer& buffer);

} // namespace tavolix::devicesim

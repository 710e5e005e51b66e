#pragma once

#include "Datagram.h"
#include "SimulatedDevice.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tavolix::devicesim {

using ReplyBuffer = std::array<uint8_t, replyCapacity>;

// The tag of the filler records that lengthen a reply; readers skip it.
inline constexpr uint8_t paddingTag = 0x7e;

// The reply a device sends to a search, every record at its tag's size:
// Mac, IpAddress, SubnetMask, Gateway, HttpPort, NetworkMode, Name, Version,
// PppoeAccount, PppoePassword and, for kinds 1 and 3, DeviceKind; then
// paddingBytes of filler records. Empty when it does not fit the buffer.
std::span<const uint8_t> buildReply(const SimulatedDevice& device, int paddingBytes,
                                    ReplyBuffer& buffer);

} // namespace tavolix::devicesim

#pragma once

#include "MacCodec.h"
#include "UdpSocket.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tavolix::e2e {

// A transcript line "recv 198.18.0.1:3566 56584c3833..." or "send ...".
struct SimDatagram
{
    std::string direction; // "recv" or "send"
    std::string peer;      // "198.18.0.1:3566"
    std::vector<uint8_t> bytes;
};

// Lower-case, as devicesim prints.
inline std::string hexFromBytes(std::span<const uint8_t> bytes)
{
    std::string hex;
    for (const uint8_t byte : bytes)
        hex += {hexDigits[byte >> 4], hexDigits[byte & 0x0f]};
    return hex;
}

// A plain unicast datagram from the calling thread's namespace.
inline bool sendUnicast(const std::string& address, uint16_t port, std::span<const uint8_t> bytes)
{
    UdpSocket socket;
    return socket.open() && socket.send(bytes, address, port);
}

} // namespace tavolix::e2e

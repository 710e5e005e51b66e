#pragma once

#include "MacCodec.h"
#include "UniqueFd.h"

#include <arpa/inet.h>
#include <cstdint>
#include <netinet/in.h>
#include <span>
#include <string>
#include <sys/socket.h>
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
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    const UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    return ::inet_pton(AF_INET, address.c_str(), &to.sin_addr) == 1 && fd &&
           ::sendto(fd.get(), bytes.data(), bytes.size(), 0,
                    static_cast<const sockaddr*>(static_cast<const void*>(&to)),
                    sizeof to) == static_cast<ssize_t>(bytes.size());
}

} // namespace tavolix::e2e

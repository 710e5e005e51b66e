#pragma once

#include "InterfaceReceive.h"
#include "UniqueFd.h"

#include <cstddef>
#include <cstdint>
#include <netinet/in.h>
#include <optional>
#include <span>
#include <string>

namespace tavolix::devicesim {

// A datagram's length, sender and the interface it came in on.
using ReceivedDatagram = ReceivedDatagramOrigin;

// The simulator's UDP socket: bound to all addresses, broadcast enabled, and
// told on which interface each datagram arrived so a broadcast answer can
// leave by the same one.
class SimSocket final
{
public:
    SimSocket() = default;
    SimSocket(const SimSocket&) = delete;
    SimSocket& operator=(const SimSocket&) = delete;

    // False with a message in error when the socket cannot be set up.
    bool open(uint16_t port, std::string& error);

    std::optional<ReceivedDatagram> receive(std::span<uint8_t> buffer);
    bool sendTo(std::span<const uint8_t> datagram, const sockaddr_in& destination);
    // To 255.255.255.255:port out of the given interface (any, for 0).
    bool sendBroadcast(std::span<const uint8_t> datagram, uint16_t port, unsigned interfaceIndex);

    int fd() const { return m_fd.get(); }

private:
    UniqueFd m_fd;
};

std::string addressText(const sockaddr_in& address); // "198.18.0.1:3566"

} // namespace tavolix::devicesim

#pragma once

#include "Result.h"
#include "UniqueFd.h"

#include <cstdint>
#include <span>
#include <string>
#include <sys/types.h>

namespace tavolix {

// The worker's IPv4 UDP socket. A failing call's errno comes back in its
// failure (systemError), which the worker shows in its status texts.
class UdpSocket final
{
public:
    UdpSocket() = default;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    Result<> open();
    void enableBroadcast();       // SO_BROADCAST; its result is not examined
    Result<> bind(uint16_t port); // on all local addresses

    // Sends the datagram to address:port. For the limited broadcast address
    // 255.255.255.255 it goes out once through every up, broadcast-capable
    // IPv4 interface (Linux would otherwise use only the default route's
    // interface, or none); where interfaces cannot be listed it falls back
    // to one plain send. Done when at least one send went out.
    Result<> send(std::span<const uint8_t> datagram, const std::string& address, uint16_t port);

    // Receives one datagram; returns its length.
    Result<std::size_t> receive(std::span<uint8_t> buffer);

    int fd() const { return m_fd.get(); }

private:
    UniqueFd m_fd;
};

} // namespace tavolix

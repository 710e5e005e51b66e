#pragma once

#include "UniqueFd.h"

#include <cstdint>
#include <span>
#include <string>
#include <sys/types.h>

namespace tavolix {

// The worker's IPv4 UDP socket. Every failing call keeps its errno in
// lastError(), which the worker shows in its status texts.
class UdpSocket final
{
public:
    UdpSocket() = default;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    bool open();
    void enableBroadcast();   // SO_BROADCAST; its result is not examined
    bool bind(uint16_t port); // on all local addresses

    // Sends the datagram to address:port. For the limited broadcast address
    // 255.255.255.255 it goes out once through every up, broadcast-capable
    // IPv4 interface (Linux would otherwise use only the default route's
    // interface, or none); where interfaces cannot be listed it falls back
    // to one plain send. True when at least one send went out.
    bool send(std::span<const uint8_t> datagram, const std::string& address, uint16_t port);

    // Receives one datagram; returns its length, or -1 on failure.
    ssize_t receive(std::span<uint8_t> buffer);

    int fd() const { return m_fd.get(); }
    int lastError() const { return m_lastError; }

private:
    UniqueFd m_fd;
    int m_lastError = 0;
};

} // namespace tavolix

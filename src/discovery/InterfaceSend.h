#pragma once

#include <cstdint>
#include <netinet/in.h>
#include <span>

namespace tavolix {

// Sends one datagram to target out of the named interface (IP_PKTINFO), which
// lets a limited broadcast leave without any route. Returns 0, or the errno
// of the failure.
int sendThroughInterface(int fd, std::span<const uint8_t> datagram, const sockaddr_in& target,
                         unsigned interfaceIndex);

} // namespace tavolix

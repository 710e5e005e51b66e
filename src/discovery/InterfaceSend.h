#pragma once

#include "Result.h"

#include <cstdint>
#include <netinet/in.h>
#include <span>

namespace tavolix {

// Sends one datagram to target out of the named interface (IP_PKTINFO), which
// lets a limited broadcast leave without any route.
Result<> sendThroughInterface(int fd, std::span<const uint8_t> datagram, const sockaddr_in& target,
                              unsigned interfaceIndex);

} // namespace tavolix

#pragma once

#include "Result.h"

#include <cstddef>
#include <cstdint>
#include <netinet/in.h>
#include <span>

namespace tavolix {

// A datagram and where it came from: its sender and the local interface it
// arrived on.
struct ReceivedDatagramOrigin
{
    std::size_t length = 0;
    sockaddr_in sender{};
    unsigned interfaceIndex = 0; // 0 when the kernel did not say
};

// Asks the kernel to tell, with each datagram, the interface it came in on
// (IP_PKTINFO).
Result<> enableArrivalInterface(int fd);

// Receives one datagram with its origin; `flags` as recvmsg takes them
// (MSG_DONTWAIT: a failure rather than a wait when none is waiting).
Result<ReceivedDatagramOrigin> receiveWithOrigin(int fd, std::span<uint8_t> buffer, int flags = 0);

} // namespace tavolix

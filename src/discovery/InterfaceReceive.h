#pragma once

#include <cstddef>
#include <cstdint>
#include <netinet/in.h>
#include <optional>
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
// (IP_PKTINFO). Returns 0, or the errno of the failure.
int enableArrivalInterface(int fd);

// Receives one datagram with its origin; nothing on failure, with the errno
// in error.
std::optional<ReceivedDatagramOrigin> receiveWithOrigin(int fd, std::span<uint8_t> buffer,
                                                        int& error);

} // namespace tavolix

#pragma once

#include "InterfaceReceive.h"
#include "Ipv4.h"
#include "Result.h"
#include "UdpSocket.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tavolix::onvif {

// WS-Discovery's multicast group and port.
inline constexpr Ipv4 discoveryGroup = 0xEFFFFFFA; // 239.255.255.250
inline constexpr uint16_t discoveryPort = 3702;
// The local port probes leave from, so that their unicast answers come back
// to a port a firewall can be told to open: the one after the native search
// port, so that one range opens both.
inline constexpr uint16_t probeAnswerPort = 3567;

// The socket WS-Discovery probes leave from and their answers come back to.
// Probes go out of one chosen interface at a time and no further than the
// segment (TTL 1), as the native search's broadcasts do. Beside it, where it
// can be made, a socket in the group on the discovery port: a device on a
// subnet the host is not on cannot route a unicast answer back, and answers
// to the group instead.
class ProbeSocket final
{
public:
    ProbeSocket() = default;
    ProbeSocket(const ProbeSocket&) = delete;
    ProbeSocket& operator=(const ProbeSocket&) = delete;

    // A System failure carries the errno of the step that failed.
    Result<> open(uint16_t port = probeAnswerPort);
    // Joins the group on each interface, sharing the port with whoever holds
    // it too (SO_REUSEADDR: a wsdd, another client). A failure leaves no group
    // socket; the search goes on without it.
    Result<> listenToGroup(const std::vector<unsigned>& interfaceIndexes);
    Result<> sendProbe(std::span<const uint8_t> probe, unsigned interfaceIndex);
    // From the socket `fd` names (fd() or groupFd()); a failure, not a wait,
    // when no datagram is waiting.
    Result<ReceivedDatagramOrigin> receive(int fd, std::span<uint8_t> buffer);

    int fd() const { return m_socket.fd(); }
    int groupFd() const { return m_group ? m_group->fd() : -1; }

private:
    Result<> joinGroup(const std::vector<unsigned>& interfaceIndexes);

    UdpSocket m_socket;
    std::optional<UdpSocket> m_group;
};

} // namespace tavolix::onvif

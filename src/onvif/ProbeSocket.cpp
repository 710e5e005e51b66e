#include "ProbeSocket.h"

#include "InterfaceSend.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>

namespace tavolix::onvif {
Result<> ProbeSocket::open(uint16_t port)
{
    if (auto opened = m_socket.open(); !opened)
        return opened;
    const int ttl = 1;
    const int noLoop = 0; // the machine's own probes are no answers
    if (::setsockopt(fd(), IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) != 0 ||
        ::setsockopt(fd(), IPPROTO_IP, IP_MULTICAST_LOOP, &noLoop, sizeof noLoop) != 0)
        return systemCallFailure("cannot set the probes' multicast options", errno);
    if (auto asked = enableArrivalInterface(fd()); !asked)
        return asked;
    auto bound = m_socket.bind(port);
    if (!bound && bound.failure().systemError == EADDRINUSE)
        return systemFailure(bound.failure().message + " (another tavolixctl may be searching)",
                             EADDRINUSE);
    return bound;
}

Result<> ProbeSocket::listenToGroup(const std::vector<unsigned>& interfaceIndexes)
{
    m_group.emplace();
    auto joined = joinGroup(interfaceIndexes);
    if (!joined)
        m_group.reset();
    return joined;
}

Result<> ProbeSocket::joinGroup(const std::vector<unsigned>& interfaceIndexes)
{
    if (auto opened = m_group->open(); !opened)
        return opened;
    const int group = m_group->fd();
    const int on = 1;
    if (::setsockopt(group, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
        return systemCallFailure("cannot share the discovery port", errno);
    if (auto asked = enableArrivalInterface(group); !asked)
        return asked;
    if (auto bound = m_group->bind(discoveryPort); !bound)
        return bound;
    for (const unsigned index : interfaceIndexes) {
        ip_mreqn membership{};
        membership.imr_multiaddr.s_addr = htonl(discoveryGroup);
        membership.imr_ifindex = static_cast<int>(index);
        if (::setsockopt(group, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) != 0)
            return systemCallFailure("cannot join the discovery group", errno);
    }
    return Done{};
}

Result<> ProbeSocket::sendProbe(std::span<const uint8_t> probe, unsigned interfaceIndex)
{
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_port = htons(discoveryPort);
    group.sin_addr.s_addr = htonl(discoveryGroup);
    return sendThroughInterface(fd(), probe, group, interfaceIndex);
}

Result<ReceivedDatagramOrigin> ProbeSocket::receive(int fd, std::span<uint8_t> buffer)
{
    return receiveWithOrigin(fd, buffer, MSG_DONTWAIT);
}

} // namespace tavolix::onvif

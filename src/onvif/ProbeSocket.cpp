#include "ProbeSocket.h"

#include "InterfaceSend.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>

namespace tavolix::onvif {

int ProbeSocket::open(uint16_t port)
{
    if (!m_socket.open())
        return m_socket.lastError();
    const int ttl = 1;
    const int noLoop = 0; // the machine's own probes are no answers
    if (::setsockopt(fd(), IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) != 0 ||
        ::setsockopt(fd(), IPPROTO_IP, IP_MULTICAST_LOOP, &noLoop, sizeof noLoop) != 0)
        return errno;
    if (const int error = enableArrivalInterface(fd()); error != 0)
        return error;
    return m_socket.bind(port) ? 0 : m_socket.lastError();
}

int ProbeSocket::sendProbe(std::span<const uint8_t> probe, unsigned interfaceIndex)
{
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_port = htons(discoveryPort);
    group.sin_addr.s_addr = htonl(discoveryGroup);
    return sendThroughInterface(fd(), probe, group, interfaceIndex);
}

std::optional<ReceivedDatagramOrigin> ProbeSocket::receive(std::span<uint8_t> buffer, int& error)
{
    return receiveWithOrigin(fd(), buffer, error);
}

} // namespace tavolix::onvif

#include "ProbeSocket.h"

#include "InterfaceSend.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>

namespace tavolix::onvif {
namespace {

Failure failureOf(const std::string& what, int error)
{
    return systemFailure(what + ": " + std::strerror(error), error);
}

} // namespace

Result<> ProbeSocket::open(uint16_t port)
{
    if (!m_socket.open())
        return failureOf("cannot make a UDP socket", m_socket.lastError());
    const int ttl = 1;
    const int noLoop = 0; // the machine's own probes are no answers
    if (::setsockopt(fd(), IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) != 0 ||
        ::setsockopt(fd(), IPPROTO_IP, IP_MULTICAST_LOOP, &noLoop, sizeof noLoop) != 0)
        return failureOf("cannot set the probes' multicast options", errno);
    if (const int error = enableArrivalInterface(fd()); error != 0)
        return failureOf("cannot ask for the arrival interface", error);
    if (!m_socket.bind(port)) {
        const int error = m_socket.lastError();
        Failure failure = failureOf("cannot bind UDP port " + std::to_string(port), error);
        if (error == EADDRINUSE)
            failure.message += " (another tavolixctl may be searching)";
        return failure;
    }
    return Done{};
}

Result<> ProbeSocket::sendProbe(std::span<const uint8_t> probe, unsigned interfaceIndex)
{
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_port = htons(discoveryPort);
    group.sin_addr.s_addr = htonl(discoveryGroup);
    if (const int error = sendThroughInterface(fd(), probe, group, interfaceIndex); error != 0)
        return failureOf("cannot send a probe", error);
    return Done{};
}

Result<ReceivedDatagramOrigin> ProbeSocket::receive(std::span<uint8_t> buffer)
{
    int error = 0;
    if (auto received = receiveWithOrigin(fd(), buffer, error))
        return *received;
    return failureOf("cannot receive", error);
}

} // namespace tavolix::onvif

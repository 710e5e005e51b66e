#include "UdpSocket.h"

#include "InterfaceSend.h"
#include "Ipv4.h"
#include "Ipv4Interfaces.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace tavolix {
namespace {

// A burst of 255 replies must fit while the worker is busy with the window,
// and a thousand answers to a probe while tavolixctl reads the first devices.
constexpr int requestedReceiveBuffer = 4 << 20;

const sockaddr* asSocketAddress(const sockaddr_in& address)
{
    return static_cast<const sockaddr*>(static_cast<const void*>(&address));
}

sockaddr_in makeAddress(in_addr_t networkOrderAddress, uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = networkOrderAddress;
    return address;
}

// Interfaces on which a limited broadcast can go out, each index once
// however many addresses the interface has. False when the list cannot be read.
bool listBroadcastInterfaces(std::vector<unsigned>& indexes)
{
    const auto addresses = listIpv4Addresses();
    if (!addresses)
        return false;
    for (const Ipv4InterfaceAddress& entry : *addresses) {
        if (entry.canBroadcast() &&
            std::find(indexes.begin(), indexes.end(), entry.index) == indexes.end())
            indexes.push_back(entry.index);
    }
    return true;
}

} // namespace

Result<> UdpSocket::open()
{
    // Close-on-exec: a browser or helper started later must not inherit the socket.
    m_fd.reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!m_fd)
        return systemCallFailure("cannot make a UDP socket", errno);
    return Done{};
}

void UdpSocket::enableBroadcast()
{
    const int on = 1;
    ::setsockopt(m_fd.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
}

Result<> UdpSocket::bind(uint16_t port)
{
    // A smaller buffer than asked for only means an earlier drop under load,
    // so the result is not a reason to fail. Where the process may (as root),
    // the buffer goes past net.core.rmem_max.
    if (::setsockopt(m_fd.get(), SOL_SOCKET, SO_RCVBUFFORCE, &requestedReceiveBuffer,
                     sizeof requestedReceiveBuffer) != 0)
        ::setsockopt(m_fd.get(), SOL_SOCKET, SO_RCVBUF, &requestedReceiveBuffer,
                     sizeof requestedReceiveBuffer);
    const sockaddr_in local = makeAddress(htonl(INADDR_ANY), port);
    if (::bind(m_fd.get(), asSocketAddress(local), sizeof local) != 0)
        return systemCallFailure("cannot bind UDP port " + std::to_string(port), errno);
    return Done{};
}

Result<> UdpSocket::send(std::span<const uint8_t> datagram, const std::string& address,
                         uint16_t port)
{
    const auto parsed = parseIpv4(address);
    if (!parsed)
        return systemCallFailure("cannot send to " + address, EINVAL);
    const in_addr destination{htonl(*parsed)};
    const sockaddr_in target = makeAddress(destination.s_addr, port);

    std::vector<unsigned> interfaces;
    if (destination.s_addr != htonl(INADDR_BROADCAST) || !listBroadcastInterfaces(interfaces) ||
        interfaces.empty()) {
        const ssize_t sent = ::sendto(m_fd.get(), datagram.data(), datagram.size(), 0,
                                      asSocketAddress(target), sizeof target);
        if (sent < 0)
            return systemCallFailure("cannot send", errno);
        return Done{};
    }

    // Done when any interface took it; otherwise the last interface's failure.
    Result<> outcome = Done{};
    bool anySent = false;
    for (const unsigned index : interfaces) {
        auto sent = sendThroughInterface(m_fd.get(), datagram, target, index);
        anySent = anySent || sent;
        if (!sent)
            outcome = std::move(sent);
    }
    return anySent ? Done{} : outcome;
}

Result<std::size_t> UdpSocket::receive(std::span<uint8_t> buffer)
{
    // Replies are accepted from any sender, so the sender is not kept.
    const ssize_t received =
        ::recvfrom(m_fd.get(), buffer.data(), buffer.size(), 0, nullptr, nullptr);
    if (received < 0)
        return systemCallFailure("cannot receive", errno);
    return static_cast<std::size_t>(received);
}

} // namespace tavolix

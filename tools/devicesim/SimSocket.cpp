#include "SimSocket.h"

#include "InterfaceSend.h"
#include "Ipv4.h"

#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace tavolix::devicesim {
namespace {

std::string failure(const char* call)
{
    return std::string(call) + ": " + std::strerror(errno);
}

} // namespace

bool SimSocket::open(uint16_t port, std::string& error)
{
    m_fd.reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!m_fd) {
        error = failure("socket");
        return false;
    }
    const int on = 1;
    if (::setsockopt(m_fd.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0 ||
        ::setsockopt(m_fd.get(), IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0) {
        error = failure("setsockopt");
        return false;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(m_fd.get(), static_cast<const sockaddr*>(static_cast<const void*>(&local)),
               sizeof local) != 0) {
        error = failure("bind");
        return false;
    }
    return true;
}

std::optional<ReceivedDatagram> SimSocket::receive(std::span<uint8_t> buffer)
{
    auto received = receiveWithOrigin(m_fd.get(), buffer);
    if (!received)
        return std::nullopt;
    return *received;
}

bool SimSocket::sendTo(std::span<const uint8_t> datagram, const sockaddr_in& destination)
{
    return ::sendto(m_fd.get(), datagram.data(), datagram.size(), 0,
                    static_cast<const sockaddr*>(static_cast<const void*>(&destination)),
                    sizeof destination) >= 0;
}

bool SimSocket::sendBroadcast(std::span<const uint8_t> datagram, uint16_t port,
                              unsigned interfaceIndex)
{
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    destination.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    if (interfaceIndex == 0)
        return sendTo(datagram, destination);
    return static_cast<bool>(
        sendThroughInterface(m_fd.get(), datagram, destination, interfaceIndex));
}

std::string addressText(const sockaddr_in& address)
{
    return ipv4Text(ntohl(address.sin_addr.s_addr)) + ":" + std::to_string(ntohs(address.sin_port));
}

} // namespace tavolix::devicesim

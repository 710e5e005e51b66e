#include "DiscoverySocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <net/if.h>
#include <sys/socket.h>

namespace tavolix::onvifsim {

bool DiscoverySocket::open(const std::string& interfaceName, std::string& error)
{
    const auto fail = [&](const char* step) {
        error = std::string(step) + ": " + std::strerror(errno);
        m_fd.reset();
        return false;
    };
    m_fd.reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!m_fd)
        return fail("socket");
    const int on = 1;
    if (::setsockopt(m_fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0)
        return fail("SO_REUSEADDR");
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(discoveryPort);
    if (::bind(m_fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) < 0)
        return fail("bind 3702");
    ip_mreqn group{};
    group.imr_multiaddr.s_addr = htonl(discoveryGroup);
    if (!interfaceName.empty()) {
        group.imr_ifindex = static_cast<int>(::if_nametoindex(interfaceName.c_str()));
        if (group.imr_ifindex == 0)
            return fail(("interface " + interfaceName).c_str());
    }
    if (::setsockopt(m_fd.get(), IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group) < 0)
        return fail("IP_ADD_MEMBERSHIP 239.255.255.250");
    // Answers to the group leave where the probes came in, whatever the routes say.
    if (group.imr_ifindex != 0 &&
        ::setsockopt(m_fd.get(), IPPROTO_IP, IP_MULTICAST_IF, &group, sizeof group) < 0)
        return fail("IP_MULTICAST_IF");
    return true;
}

std::optional<ReceivedProbe> DiscoverySocket::receive(std::span<char> buffer) const
{
    ReceivedProbe probe;
    socklen_t length = sizeof probe.sender;
    const ssize_t received = ::recvfrom(m_fd.get(), buffer.data(), buffer.size(), 0,
                                        reinterpret_cast<sockaddr*>(&probe.sender), &length);
    if (received < 0)
        return std::nullopt;
    probe.length = static_cast<std::size_t>(received);
    return probe;
}

bool DiscoverySocket::sendFrom(Ipv4 source, std::span<const char> bytes,
                               const sockaddr_in& destination) const
{
    iovec part{const_cast<char*>(bytes.data()), bytes.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = const_cast<sockaddr_in*>(&destination);
    message.msg_namelen = sizeof destination;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst.s_addr = htonl(source);
    std::memcpy(CMSG_DATA(header), &info, sizeof info);
    if (::sendmsg(m_fd.get(), &message, 0) == static_cast<ssize_t>(bytes.size()))
        return true;
    // A source the interface does not hold (no --interface): the kernel's choice.
    return ::sendto(m_fd.get(), bytes.data(), bytes.size(), 0,
                    reinterpret_cast<const sockaddr*>(&destination),
                    sizeof destination) == static_cast<ssize_t>(bytes.size());
}

std::string endpointText(const sockaddr_in& address)
{
    return ipv4Text(ntohl(address.sin_addr.s_addr)) + ":" + std::to_string(ntohs(address.sin_port));
}

} // namespace tavolix::onvifsim

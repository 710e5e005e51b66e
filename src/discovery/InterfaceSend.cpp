#include "InterfaceSend.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>

namespace tavolix {

Result<> sendThroughInterface(int fd, std::span<const uint8_t> datagram, const sockaddr_in& target,
                              unsigned interfaceIndex)
{
    iovec payload{};
    payload.iov_base = const_cast<uint8_t*>(datagram.data()); // sendmsg only reads it
    payload.iov_len = datagram.size();

    alignas(cmsghdr) std::array<unsigned char, CMSG_SPACE(sizeof(in_pktinfo))> control{};
    sockaddr_in destination = target;
    msghdr message{};
    message.msg_name = &destination;
    message.msg_namelen = sizeof destination;
    message.msg_iov = &payload;
    message.msg_iovlen = 1;
    message.msg_control = control.data();
    message.msg_controllen = control.size();

    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo packetInfo{};
    packetInfo.ipi_ifindex = static_cast<int>(interfaceIndex);
    std::memcpy(CMSG_DATA(header), &packetInfo, sizeof packetInfo);

    if (::sendmsg(fd, &message, 0) < 0)
        return systemCallFailure("cannot send", errno);
    return Done{};
}

} // namespace tavolix

#include "InterfaceReceive.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>

namespace tavolix {

Result<> enableArrivalInterface(int fd)
{
    const int on = 1;
    if (::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0)
        return systemCallFailure("cannot ask for the arrival interface", errno);
    return Done{};
}

Result<ReceivedDatagramOrigin> receiveWithOrigin(int fd, std::span<uint8_t> buffer, int flags)
{
    ReceivedDatagramOrigin received;
    iovec payload{buffer.data(), buffer.size()};
    alignas(cmsghdr) std::array<unsigned char, CMSG_SPACE(sizeof(in_pktinfo))> control{};
    msghdr message{};
    message.msg_name = &received.sender;
    message.msg_namelen = sizeof received.sender;
    message.msg_iov = &payload;
    message.msg_iovlen = 1;
    message.msg_control = control.data();
    message.msg_controllen = control.size();
    const ssize_t length = ::recvmsg(fd, &message, flags);
    if (length < 0)
        return systemCallFailure("cannot receive", errno);
    received.length = static_cast<std::size_t>(length);
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(header), sizeof info);
            received.interfaceIndex = static_cast<unsigned>(info.ipi_ifindex);
        }
    }
    return received;
}

} // namespace tavolix

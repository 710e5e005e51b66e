#include "NamespaceSearchProbe.h"

#include "Datagram.h"
#include "ReplyParser.h"
#include "UdpSocket.h"

#include <array>
#include <cstring>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <sys/socket.h>

namespace tavolix::doctor::test {
namespace {

// One datagram and the index of the interface it arrived on.
ssize_t receiveWithInterface(int fd, std::span<uint8_t> buffer, unsigned& interfaceIndex)
{
    iovec payload{buffer.data(), buffer.size()};
    alignas(cmsghdr) std::array<unsigned char, CMSG_SPACE(sizeof(in_pktinfo))> control{};
    msghdr message{};
    message.msg_iov = &payload;
    message.msg_iovlen = 1;
    message.msg_control = control.data();
    message.msg_controllen = control.size();
    const ssize_t received = ::recvmsg(fd, &message, 0);
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(header), sizeof info);
            interfaceIndex = static_cast<unsigned>(info.ipi_ifindex);
        }
    }
    return received;
}

} // namespace

SearchProbeResult searchOnce(std::chrono::milliseconds listen)
{
    SearchProbeResult result;
    result.listened = listen;
    UdpSocket socket;
    if (!socket.open()) {
        result.failure = std::string("socket: ") + std::strerror(socket.lastError());
        return result;
    }
    socket.enableBroadcast();
    const int on = 1;
    ::setsockopt(socket.fd(), IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    if (!socket.bind(3566)) {
        result.failure = std::string("bind: ") + std::strerror(socket.lastError());
        return result;
    }
    if (!socket.send(searchRequest(), "255.255.255.255", 4000)) {
        result.failure = std::string("send: ") + std::strerror(socket.lastError());
        return result;
    }

    std::set<std::pair<std::string, std::array<uint8_t, 6>>> seen;
    std::set<std::array<uint8_t, 6>> devices;
    std::array<uint8_t, replyCapacity> buffer{};
    const auto deadline = std::chrono::steady_clock::now() + listen;
    for (auto now = std::chrono::steady_clock::now(); now < deadline;
         now = std::chrono::steady_clock::now()) {
        pollfd readable{socket.fd(), POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        if (::poll(&readable, 1, static_cast<int>(left.count()) + 1) <= 0)
            continue;
        unsigned index = 0;
        const ssize_t received = receiveWithInterface(socket.fd(), buffer, index);
        if (received <= 0)
            continue;
        const auto record =
            decodeReply(std::span(buffer).first(static_cast<std::size_t>(received)));
        std::array<char, IF_NAMESIZE> name{};
        if (!record || ::if_indextoname(index, name.data()) == nullptr)
            continue;
        if (seen.emplace(name.data(), record->mac).second)
            ++result.devicesPerInterface[name.data()];
        devices.insert(record->mac);
    }
    result.devices = static_cast<int>(devices.size());
    return result;
}

} // namespace tavolix::doctor::test

#include "ArpProbe.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <linux/if_ether.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netpacket/packet.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace tavolix::adopt {
namespace {

using std::chrono::milliseconds;

constexpr int probeCount = 3;
constexpr milliseconds probeInterval{200};
constexpr milliseconds listenAfterProbes{400};
// Read at one go at most, so that a flood of ARP cannot hold the caller.
constexpr int framesPerRead = 256;

// Offsets in the packet (RFC 826).
constexpr std::size_t hardwareTypeAt = 0, protocolTypeAt = 2, hardwareSizeAt = 4,
                      protocolSizeAt = 5, operationAt = 6, senderMacAt = 8, senderIpAt = 14,
                      targetIpAt = 24;

void putU16(ArpPacket& packet, std::size_t at, uint16_t value)
{
    packet[at] = static_cast<uint8_t>(value >> 8);
    packet[at + 1] = static_cast<uint8_t>(value);
}

void putIpv4(ArpPacket& packet, std::size_t at, Ipv4 address)
{
    for (std::size_t i = 0; i < 4; ++i)
        packet[at + i] = static_cast<uint8_t>(address >> (24 - 8 * i));
}

uint16_t u16At(std::span<const uint8_t> packet, std::size_t at)
{
    return static_cast<uint16_t>(packet[at] << 8 | packet[at + 1]);
}

Ipv4 ipv4At(std::span<const uint8_t> packet, std::size_t at)
{
    return Ipv4{packet[at]} << 24 | Ipv4{packet[at + 1]} << 16 | Ipv4{packet[at + 2]} << 8 |
           Ipv4{packet[at + 3]};
}

sockaddr_ll linkAddress(unsigned interfaceIndex)
{
    sockaddr_ll address{};
    address.sll_family = AF_PACKET;
    address.sll_protocol = htons(ETH_P_ARP);
    address.sll_ifindex = static_cast<int>(interfaceIndex);
    return address;
}

} // namespace

ArpPacket arpProbePacket(const MacAddress& sender, Ipv4 candidate)
{
    ArpPacket packet{};
    putU16(packet, hardwareTypeAt, ARPHRD_ETHER);
    putU16(packet, protocolTypeAt, ETH_P_IP);
    packet[hardwareSizeAt] = 6;
    packet[protocolSizeAt] = 4;
    putU16(packet, operationAt, ARPOP_REQUEST);
    std::copy(sender.begin(), sender.end(), packet.begin() + senderMacAt);
    // The sender's IP and the target's MAC (at 18) stay zero.
    putIpv4(packet, targetIpAt, candidate);
    return packet;
}

bool showsCandidateTaken(std::span<const uint8_t> packet, Ipv4 candidate, const MacAddress& own)
{
    if (packet.size() < arpPacketSize || u16At(packet, hardwareTypeAt) != ARPHRD_ETHER ||
        u16At(packet, protocolTypeAt) != ETH_P_IP || packet[hardwareSizeAt] != 6 ||
        packet[protocolSizeAt] != 4)
        return false;
    const Ipv4 senderIp = ipv4At(packet, senderIpAt);
    if (senderIp == candidate)
        return true;
    const bool ownMac = std::equal(own.begin(), own.end(), packet.begin() + senderMacAt);
    return senderIp == 0 && u16At(packet, operationAt) == ARPOP_REQUEST &&
           ipv4At(packet, targetIpAt) == candidate && !ownMac;
}

Result<ArpProbe> ArpProbe::open(unsigned interfaceIndex, const std::string& interfaceName)
{
    // Protocol 0 until bound: the socket receives nothing from other interfaces meanwhile.
    UniqueFd socket(::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!socket)
        return systemCallFailure("cannot open an ARP socket", errno);
    ifreq request{};
    if (interfaceName.size() >= sizeof(request.ifr_name))
        return systemFailure("interface name too long: " + interfaceName);
    std::memcpy(request.ifr_name, interfaceName.c_str(), interfaceName.size() + 1);
    if (::ioctl(socket.get(), SIOCGIFHWADDR, &request) != 0)
        return systemCallFailure("cannot read the MAC of " + interfaceName, errno);
    if (request.ifr_hwaddr.sa_family != ARPHRD_ETHER)
        return systemFailure(interfaceName + " is not an Ethernet interface: cannot probe on it");
    MacAddress mac{};
    std::memcpy(mac.data(), request.ifr_hwaddr.sa_data, mac.size());
    const sockaddr_ll bound = linkAddress(interfaceIndex);
    if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&bound), sizeof(bound)) != 0)
        return systemCallFailure("cannot bind an ARP socket to " + interfaceName, errno);
    return ArpProbe(std::move(socket), interfaceIndex, mac);
}

ArpProbe::ArpProbe(UniqueFd socket, unsigned interfaceIndex, const MacAddress& mac)
    : m_socket(std::move(socket)), m_interfaceIndex(interfaceIndex), m_mac(mac)
{}

Result<> ArpProbe::start(Ipv4 candidate)
{
    m_candidate = candidate;
    m_sent = 0;
    receivedConflict(); // what came for an earlier candidate says nothing of this one
    return send();
}

Result<> ArpProbe::send()
{
    const ArpPacket packet = arpProbePacket(m_mac, m_candidate);
    sockaddr_ll to = linkAddress(m_interfaceIndex);
    to.sll_halen = 6;
    std::memset(to.sll_addr, 0xFF, 6);
    if (::sendto(m_socket.get(), packet.data(), packet.size(), 0,
                 reinterpret_cast<const sockaddr*>(&to), sizeof(to)) < 0)
        return systemCallFailure("cannot send an ARP probe for " + ipv4Text(m_candidate), errno);
    ++m_sent;
    m_next = Clock::now() + (m_sent < probeCount ? probeInterval : listenAfterProbes);
    return Done{};
}

void ArpProbe::watch(WaitSet& waits) const
{
    waits.watch(m_socket.get(), POLLIN);
    waits.wakeAt(m_next);
}

Result<ArpProbe::Outcome> ArpProbe::handle(const WaitSet& ready)
{
    if ((ready.ready(m_socket.get()) & POLLIN) != 0 && receivedConflict())
        return Outcome::Taken;
    if (!ready.due(m_next))
        return Outcome::Probing;
    if (m_sent == probeCount) // an answer that came after the last wait still counts
        return receivedConflict() ? Outcome::Taken : Outcome::Free;
    const Result<> sent = send();
    if (!sent)
        return sent.failure();
    return Outcome::Probing;
}

bool ArpProbe::receivedConflict()
{
    bool taken = false;
    for (int frames = 0; frames < framesPerRead; ++frames) {
        std::array<uint8_t, 1500> frame{};
        sockaddr_ll from{};
        socklen_t fromSize = sizeof(from);
        const ssize_t received = ::recvfrom(m_socket.get(), frame.data(), frame.size(), 0,
                                            reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (received < 0)
            return taken;
        // Our own probes come back as outgoing frames.
        if (from.sll_pkttype != PACKET_OUTGOING &&
            showsCandidateTaken(std::span(frame.data(), static_cast<std::size_t>(received)),
                                m_candidate, m_mac))
            taken = true;
    }
    return taken;
}

} // namespace tavolix::adopt

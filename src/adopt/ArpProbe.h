#pragma once

#include "Ipv4.h"
#include "MacCodec.h"
#include "Result.h"
#include "UniqueFd.h"
#include "WaitSet.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tavolix::adopt {

// An ARP packet for IPv4 over Ethernet, without the Ethernet header the kernel puts around it.
constexpr std::size_t arpPacketSize = 28;
using ArpPacket = std::array<uint8_t, arpPacketSize>;

// RFC 5227's probe: "who has `candidate`?", asked from 0.0.0.0 so that no one's cache learns it.
ArpPacket arpProbePacket(const MacAddress& sender, Ipv4 candidate);
// Whether a packet received while probing says that someone holds `candidate`: any ARP sent
// from it, or another host's probe for it (both choosing it at once).
bool showsCandidateTaken(std::span<const uint8_t> packet, Ipv4 candidate, const MacAddress& own);

// Probes addresses on one Ethernet interface, one after the other, as RFC 5227 says, but
// with short timings: three probes 200 ms apart, then 400 ms more of listening. The address
// lives for the seconds of one run, not the hours a lease lasts, and the user waits for it.
class ArpProbe final
{
public:
    static Result<ArpProbe> open(unsigned interfaceIndex, const std::string& interfaceName);

    const MacAddress& interfaceMac() const { return m_mac; }
    // Starts probing `candidate`: the first probe goes now.
    Result<> start(Ipv4 candidate);

    enum class Outcome
    {
        Probing,
        Free,
        Taken
    };
    void watch(WaitSet& waits) const;
    Result<Outcome> handle(const WaitSet& ready);

private:
    ArpProbe(UniqueFd socket, unsigned interfaceIndex, const MacAddress& mac);
    Result<> send();
    bool receivedConflict();

    UniqueFd m_socket;
    unsigned m_interfaceIndex = 0;
    MacAddress m_mac{};
    Ipv4 m_candidate = 0;
    int m_sent = 0;
    Clock::time_point m_next{};
};

} // namespace tavolix::adopt

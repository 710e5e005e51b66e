#include "ArpProbe.h"
#include "Candidates.h"
#include "ChildProcess.h"
#include "NetnsTopology.h"
#include "ScopedNetns.h"
#include "TemporaryAddresses.h"
#include "TemporaryDirectory.h"

#include <csignal>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <sys/wait.h>

namespace tavolix::adopt {
namespace {

using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;

Ipv4 ip(const char* text)
{
    return *parseIpv4(text);
}

TEST(AdoptTest, CandidatesAvoidGatewaysTakenAndOwnAddresses)
{
    EXPECT_EQ(subnetText(subnetAround(ip("10.0.0.50"))), "10.0.0.0/24"); // reaches a /8 too
    const MacAddress mac{0x02, 0, 0, 0, 0, 0x01};
    std::set<Ipv4> allButTwo;
    for (Ipv4 host = 3; host <= 253; ++host)
        allButTwo.insert(ip("10.0.0.0") | host);
    const struct
    {
        const char* device;
        std::set<Ipv4> excluded;
        std::vector<Ipv4> hosts; // the candidates' last byte
    } rows[] = {
        {"192.168.1.64", {}, {253, 252, 251}},
        {"192.168.1.64", {ip("192.168.1.253"), ip("192.168.1.251")}, {252, 250, 249}},
        {"10.0.0.50", allButTwo, {2}}, // never .0, .1, .254, .255
    };
    for (const auto& row : rows) {
        std::vector<Ipv4> hosts;
        for (const Ipv4 candidate :
             candidateAddresses(subnetAround(ip(row.device)), row.excluded, mac, 3))
            hosts.push_back(candidate & 0xFF);
        EXPECT_EQ(hosts, row.hosts) << row.device;
    }

    const Subnet linkLocal = subnetAround(ip("169.254.23.7"));
    const std::vector<Ipv4> first = candidateAddresses(linkLocal, {}, mac);
    ASSERT_EQ(first.size(), candidateLimit);
    EXPECT_EQ(candidateAddresses(linkLocal, {}, mac), first); // the same host picks the same
    EXPECT_NE(candidateAddresses(linkLocal, {}, {0x02, 0, 0, 0, 0, 0x02}), first);
    for (const Ipv4 candidate : first)
        EXPECT_TRUE(candidate >= ip("169.254.1.0") && candidate <= ip("169.254.254.255"));
    const std::vector<Ipv4> withoutFirst = candidateAddresses(linkLocal, {first[0]}, mac);
    EXPECT_TRUE(std::equal(first.begin() + 1, first.end(), withoutFirst.begin()));
}

TEST(AdoptTest, ArpProbeBytesAndWhatCountsAsTaken)
{
    const ArpPacket expected{
        0x00, 0x01,               // 0: hardware type: Ethernet
        0x08, 0x00,               // 2: protocol type: IPv4
        6,    4,                  // 4: MAC and IPv4 sizes
        0x00, 0x01,               // 6: operation: request
        0x02, 0x11, 0, 0,   0, 0, // 8: sender MAC: the interface's
        0,    0,    0, 0,         // 14: sender IP 0.0.0.0: a probe, learnt by no cache
        0,    0,    0, 0,   0, 0, // 18: target MAC: unknown
        192,  168,  1, 253,       // 24: target IP: the candidate
    };
    EXPECT_EQ(arpProbePacket({0x02, 0x11, 0, 0, 0, 0}, ip("192.168.1.253")), expected);
    const auto arp = [](uint8_t operation, uint8_t macByte, Ipv4 sender, const char* target) {
        ArpPacket packet = arpProbePacket({0x02, macByte, 0, 0, 0, 0}, ip(target));
        packet[7] = operation;
        for (std::size_t i = 0; i < 4; ++i)
            packet[14 + i] = static_cast<uint8_t>(sender >> (24 - 8 * i));
        return std::vector<uint8_t>(packet.begin(), packet.end());
    };
    const std::vector<uint8_t> reply = arp(2, 0x99, ip("192.168.1.253"), "10.20.0.5");
    const struct
    {
        std::vector<uint8_t> packet;
        bool taken;
    } rows[] = {
        {arp(1, 0x11, 0, "192.168.1.253"), false}, // our own probe
        {arp(1, 0x99, 0, "192.168.1.253"), true},  // another host probing for it
        {reply, true},
        {arp(1, 0x99, 0, "192.168.1.7"), false},
        {std::vector<uint8_t>(reply.begin(), reply.end() - 1), false}, // cut short
    };
    for (const auto& row : rows)
        EXPECT_EQ(showsCandidateTaken(row.packet, ip("192.168.1.253"), {0x02, 0x11, 0, 0, 0, 0}),
                  row.taken);
}

// The address chosen around `device`, once probed and added; nothing when that failed.
std::optional<Ipv4> upAddress(TemporaryAddresses& adoption, unsigned veth, Ipv4 device)
{
    adoption.request(veth, device, {device});
    for (WaitSet waits; adoption.status(veth, device)->state == TemporaryAddresses::State::Choosing;
         waits = {}) {
        adoption.watch(waits);
        if (!waits.wait(Clock::now() + std::chrono::seconds(10)))
            return std::nullopt;
        adoption.handle(waits);
    }
    return adoption.status(veth, device)->address;
}

// A run in a child process that adds an address and is then ended by `signal`; its wait status.
std::pair<pid_t, int> adoptAndEndBy(int signal, unsigned veth, Ipv4 device)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return {0, -1};
    const pid_t child = ::fork();
    if (child == 0) {
        std::vector<std::string> leftovers;
        auto adoption = TemporaryAddresses::open(leftovers);
        if (!adoption || !upAddress(**adoption, veth, device) || ::write(ready[1], "u", 1) != 1)
            ::_exit(1);
        ::pause();
        ::_exit(2);
    }
    ::close(ready[1]);
    char up = 0;
    if (::read(ready[0], &up, 1) == 1)
        ::kill(child, signal);
    ::close(ready[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return {child, status};
}

std::string addressesAndRoutes(const std::string& netns)
{
    return test::runCommand({"ip", "-n", netns, "-j", "addr"}).output +
           test::runCommand({"ip", "-n", netns, "-j", "route", "show", "table", "all"}).output;
}

TEST(AdoptTest, AddsAFreeAddressAndLeavesTheHostAsItWas)
{
    if (const auto reason = test::NetnsTopology::unavailableReason())
        GTEST_SKIP() << *reason;
    test::NetnsTopology topology;
    ASSERT_TRUE(topology.addNamespace("host") && topology.addNamespace("peer") &&
                topology.link("host", "10.20.0.5/24", "peer", "10.20.0.6/24"))
        << topology.error();
    const std::string host = topology.name("host");
    // IPv6's duplicate address detection would change the snapshot by itself.
    test::runCommand(
        {"ip", "netns", "exec", host, "sysctl", "-qw", "net.ipv6.conf.all.disable_ipv6=1"});
    test::runCommand(
        {"ip", "-n", topology.name("peer"), "addr", "add", "192.168.1.253/24", "dev", "veth0b"});
    test::runCommand({"ip", "-n", host, "addr", "add", "192.168.1.252/32", "dev", "lo"}); // ours
    const std::string before = addressesAndRoutes(host);
    const test::TemporaryDirectory runDirectory;
    ::setenv("TAVOLIX_RUN_DIR", runDirectory.path().c_str(), 1);
    const test::ScopedNetns inHost(host);
    ASSERT_TRUE(inHost.entered()) << inHost.error();
    const unsigned veth = ::if_nametoindex("veth0a");
    const Ipv4 device = ip("192.168.1.64");
    {
        std::vector<std::string> leftovers;
        auto adoption = TemporaryAddresses::open(leftovers);
        ASSERT_TRUE(adoption) << adoption.failure().message;
        // The peer answers the probe for .253; the host holds .252 itself.
        EXPECT_EQ(upAddress(**adoption, veth, device), ip("192.168.1.251"));
        EXPECT_THAT(addressesAndRoutes(host), HasSubstr("251\",\"prefixlen\":24,\"broadcast"));
        (*adoption)->release(veth, device);
        EXPECT_EQ(addressesAndRoutes(host), before);
        EXPECT_EQ(upAddress(**adoption, veth, device), ip("192.168.1.251")); // gone with it
        EXPECT_EQ((*adoption)->notes().front(),
                  "reached 192.168.1.0/24 on veth0a from the "
                  "temporary address 192.168.1.251/24 (removed again)");
    }
    EXPECT_EQ(addressesAndRoutes(host), before);

    const int terminated = adoptAndEndBy(SIGTERM, veth, device).second;
    EXPECT_TRUE(WIFSIGNALED(terminated) && WTERMSIG(terminated) == SIGTERM) << terminated;
    EXPECT_EQ(addressesAndRoutes(host), before);
    EXPECT_TRUE(std::filesystem::is_empty(runDirectory.path()));

    // A killed run's address, and a file that is no journal.
    const auto [killedPid, killed] = adoptAndEndBy(SIGKILL, veth, device);
    ASSERT_TRUE(WIFSIGNALED(killed)) << killed;
    EXPECT_THAT(addressesAndRoutes(host), HasSubstr("192.168.1.251"));
    const std::string foreign = runDirectory.path() / "adopted-1";
    std::ofstream(foreign) << "not a journal\n";
    std::vector<std::string> leftovers;
    ASSERT_TRUE(TemporaryAddresses::open(leftovers));
    EXPECT_THAT(leftovers,
                UnorderedElementsAre(
                    "removed 192.168.1.251/24 from veth0a, left by a run that ended (pid " +
                        std::to_string(killedPid) + ")",
                    "left " + foreign + " alone: not a journal of addresses"));
    EXPECT_EQ(addressesAndRoutes(host), before);
    ::unsetenv("TAVOLIX_RUN_DIR");
}

} // namespace
} // namespace tavolix::adopt

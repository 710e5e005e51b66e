// A search under a flood at both answer ports: it still ends, and the devices that answered
// are listed. How long it takes goes to bench_inventory's flood case, not to an assertion.
#include "CtlTest.h"
#include "ScopedNetns.h"

#include <arpa/inet.h>
#include <atomic>
#include <random>
#include <sys/socket.h>
#include <thread>

namespace tavolix::e2e {
namespace {

using nlohmann::json;

// A ProbeMatches as a camera sends it, answering a probe that was not ours.
const std::string unrelatedMatch =
    R"(<?xml version="1.0" encoding="UTF-8"?><s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" )"
    R"(xmlns:a="http://schemas.xmlsoap.org/ws/2004/08/addressing" xmlns:d="http://schemas.xmlsoap.org/ws/2005/04/discovery" )"
    R"(xmlns:dn="http://www.onvif.org/ver10/network/wsdl"><s:Header><a:RelatesTo>uuid:00000000-0000-4000-8000-)"
    R"(000000000000</a:RelatesTo></s:Header><s:Body><d:ProbeMatches><d:ProbeMatch><a:EndpointReference><a:Address>)"
    R"(urn:uuid:f1000d00-0000-4000-8000-000000000001</a:Address></a:EndpointReference><d:Types>)"
    R"(dn:NetworkVideoTransmitter</d:Types><d:XAddrs>http://198.18.0.2/onvif/device_service</d:XAddrs>)"
    R"(</d:ProbeMatch></d:ProbeMatches></s:Body></s:Envelope>)";

// Sends to the host's port from the devices' namespace, as fast as it can, until stopped:
// random bytes, a native reply cut after its magic, and unrelated probe matches.
void flood(const std::string& netns, uint16_t port, const std::atomic<bool>& stop)
{
    const test::ScopedNetns inDevices(netns);
    const UniqueFd socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_in host{};
    host.sin_family = AF_INET;
    host.sin_port = htons(port);
    host.sin_addr.s_addr = inet_addr("198.18.0.1");
    if (!inDevices.entered() || !socket ||
        ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&host), sizeof host) != 0)
        return;
    std::mt19937 random(port);
    std::vector<std::string> kinds = {std::string(1400, '\0'), "VXL8", unrelatedMatch};
    for (char& c : kinds[0])
        c = static_cast<char>(random());
    std::array<iovec, 48> payloads{};
    std::array<mmsghdr, 48> messages{};
    for (std::size_t i = 0; i < messages.size(); ++i) {
        std::string& bytes = kinds[i % kinds.size()];
        payloads[i] = {bytes.data(), bytes.size()};
        messages[i].msg_hdr.msg_iov = &payloads[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    while (!stop.load())
        ::sendmmsg(socket.get(), messages.data(), messages.size(), 0); // refusals are no matter
}

class FloodCtlTest : public CtlTest
{};

TEST_F(FloodCtlTest, ASearchUnderAFloodEndsAndListsTheDevicesThatAnswered)
{
    startDevices({});
    ASSERT_FALSE(HasFatalFailure());
    DeviceSimProcess camera(topology.name("devices"),
                            {"--interface", "veth0b", "--gateway", "198.18.0.1"},
                            TAVOLIX_ONVIFSIM_PATH);
    ASSERT_TRUE(camera.waitReady());

    const test::TemporaryDirectory io;
    test::LaunchOptions options;
    options.arguments = {TAVOLIXCTL_PATH, "search", "--format", "json", "--user", "admin"};
    options.environment = {"PATH=/usr/bin:/bin", "TAVOLIX_PASSWORD=admin"};
    options.networkNamespace = topology.name("host");
    options.outputFile = io.path() / "out";
    options.errorFile = io.path() / "err";
    test::ChildProcess search(options);
    // Once both have answered, the flood: it must not keep their answers from being taken.
    EXPECT_TRUE(sim->waitUntil([](const auto& lines) {
        return std::ranges::any_of(lines,
                                   [](const std::string& l) { return l.starts_with("send "); });
    }));
    EXPECT_TRUE(camera.waitUntil([](const auto& lines) {
        return std::ranges::any_of(lines,
                                   [](const std::string& l) { return l.starts_with("match "); });
    }));
    std::atomic<bool> stop = false;
    std::vector<std::jthread> flooders;
    for (const uint16_t port : {3566, 3566, 3567})
        flooders.emplace_back(flood, topology.name("devices"), port, std::cref(stop));
    const auto started = std::chrono::steady_clock::now();
    const auto ended = search.waitAtMost(std::chrono::seconds(30)); // a safety net, no measure
    stop = true;
    flooders.clear();
    std::printf("search under flood ended after %lld ms of flood\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - started)
                                           .count()));
    ASSERT_TRUE(ended.has_value()) << "the search did not end under the flood";
    EXPECT_EQ(*ended, 0) << fileText(io.path() / "err");
    std::map<std::string, json> rows;
    for (json& row : json::parse(fileText(io.path() / "out")))
        rows[row["ip"].get<std::string>()] = row;
    EXPECT_EQ(rows.size(), 2u) << fileText(io.path() / "out");
    EXPECT_EQ(rows["198.18.1.1"]["protocol"], "native");
    EXPECT_EQ(rows["198.18.0.20"]["protocol"], "onvif");
    EXPECT_EQ(rows["198.18.0.20"]["mask"], "255.255.255.0") << "read under the flood";
}

} // namespace
} // namespace tavolix::e2e

#include "DeviceProtocol.h"
#include "Discovery.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

namespace tavolix::onvif {
namespace {

std::string answer(const std::string& relatesTo, const std::string& endpoint)
{
    return R"(<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" xmlns:a="http://)"
           R"(schemas.xmlsoap.org/ws/2004/08/addressing" xmlns:d="http://schemas.xmlsoap.org/ws/)"
           R"(2005/04/discovery"><s:Header><a:RelatesTo>)" +
           relatesTo + "</a:RelatesTo></s:Header><s:Body><d:ProbeMatches><d:ProbeMatch>" +
           "<a:EndpointReference><a:Address>" + endpoint +
           "</a:Address></a:EndpointReference><d:Scopes>onvif://www.onvif.org/name/x</d:Scopes>"
           "<d:XAddrs>http://10.0.0.9/</d:XAddrs></d:ProbeMatch></d:ProbeMatches></s:Body>"
           "</s:Envelope>";
}

// Answers in turn to one search: how many devices each names, by EndpointReference and sender.
TEST(Discovery, TakesAnswersToItsProbesAsDevicesByEndpointAndSenderUpToTheCap)
{
    Discovery discovery;
    const auto probes = discovery.start(Clock::now());
    ASSERT_TRUE(probes);
    const std::size_t at = probes->front().find("uuid:");
    const std::string ours = probes->front().substr(at, probes->front().find('<', at) - at);
    const std::vector<LocalInterface> interfaces = {{"eth0", 2, {{0x0A000001, 0xFFFFFF00}}}};
    const auto take = [&](const std::string& text, const char* sender = "10.0.0.9") {
        ReceivedDatagramOrigin origin{0, {AF_INET, 0, {inet_addr(sender)}, {}}, 2};
        return discovery.take(text, origin, interfaces).size();
    };
    EXPECT_EQ(take(std::string(1400, '\x81')), 0u);
    EXPECT_EQ(take(answer("uuid:0", "urn:a")), 0u) << "another's probe";
    EXPECT_EQ(take(answer("<x>" + ours + "</x>", "urn:a")), 0u) << "named, not related";
    EXPECT_EQ(take(answer(ours, "urn:a")), 1u);
    EXPECT_EQ(take(answer(ours, "urn:a")), 0u) << "its repeat";
    EXPECT_EQ(take(answer(ours, "urn:a"), "10.0.0.10"), 1u) << "a clone elsewhere";
    std::size_t made = 2; // made-up devices end at the cap, and are counted
    for (int i = 0; i < 1100; ++i)
        made += take(answer(ours, "urn:f" + std::to_string(i)));
    EXPECT_EQ(made, maxDevicesPerSearch);
    EXPECT_EQ(discovery.leftOut(), 1102 - maxDevicesPerSearch);
}

} // namespace
} // namespace tavolix::onvif

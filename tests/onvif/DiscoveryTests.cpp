#include "DeviceProtocol.h"
#include "Discovery.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <regex>

namespace tavolix::onvif {
namespace {

std::string matches(const std::string& relatesTo, const std::string& endpoint)
{
    return R"(<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" )"
           R"(xmlns:a="http://schemas.xmlsoap.org/ws/2004/08/addressing" )"
           R"(xmlns:d="http://schemas.xmlsoap.org/ws/2005/04/discovery" )"
           R"(xmlns:dn="http://www.onvif.org/ver10/network/wsdl"><s:Header><a:RelatesTo>)" +
           relatesTo +
           R"(</a:RelatesTo></s:Header><s:Body><d:ProbeMatches><d:ProbeMatch><a:EndpointReference>)"
           R"(<a:Address>)" +
           endpoint +
           R"(</a:Address></a:EndpointReference><d:Types>dn:NetworkVideoTransmitter</d:Types>)"
           R"(<d:XAddrs>http://10.0.0.9/onvif/device_service</d:XAddrs></d:ProbeMatch>)"
           R"(</d:ProbeMatches></s:Body></s:Envelope>)";
}

ReceivedDatagramOrigin from(const char* sender)
{
    ReceivedDatagramOrigin origin;
    origin.sender.sin_family = AF_INET;
    origin.sender.sin_addr.s_addr = inet_addr(sender);
    origin.interfaceIndex = 2;
    return origin;
}

// Answers in turn to one search: which are taken as devices, by EndpointReference and sender.
TEST(Discovery, TakesAnswersToItsProbesOnlyOneDevicePerEndpointAndSender)
{
    Discovery discovery;
    const auto probes = discovery.start(Clock::now());
    ASSERT_TRUE(probes);
    std::smatch id;
    ASSERT_TRUE(std::regex_search(probes->front(), id, std::regex("uuid:[0-9a-f-]+")));
    const std::string ours = id.str();
    const std::vector<LocalInterface> interfaces = {{"eth0", 2, {{0x0A000001, 0xFFFFFF00}}}};
    const struct
    {
        std::string answer;
        const char* sender;
        std::size_t devices;
    } rows[] = {
        {std::string(1400, '\x01'), "10.0.0.9", 0},
        {matches("uuid:00000000-0000-4000-8000-000000000000", "urn:uuid:a"), "10.0.0.9", 0},
        {matches("<x>" + ours + "</x>", "urn:uuid:a"), "10.0.0.9", 0}, // named, not related
        {matches(ours, "urn:uuid:a"), "10.0.0.9", 1},
        {matches(ours, "urn:uuid:a"), "10.0.0.9", 0},  // its repeat
        {matches(ours, "urn:uuid:a"), "10.0.0.10", 1}, // a clone elsewhere
        {matches(ours, "urn:uuid:b"), "10.0.0.9", 1},
    };
    for (const auto& row : rows)
        EXPECT_EQ(discovery.take(row.answer, from(row.sender), interfaces).size(), row.devices)
            << row.answer.substr(0, 300);
    // A flood of made-up devices ends at the cap, and is counted.
    std::size_t taken = 3;
    for (int i = 0; i < 1100; ++i)
        taken +=
            discovery
                .take(matches(ours, "urn:uuid:f" + std::to_string(i)), from("10.0.0.9"), interfaces)
                .size();
    EXPECT_EQ(taken, maxDevicesPerSearch);
    EXPECT_EQ(discovery.leftOut(), 1103 - maxDevicesPerSearch);
}

} // namespace
} // namespace tavolix::onvif

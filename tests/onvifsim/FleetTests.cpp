#include "SimFleet.h"
#include "SoapRequest.h"

#include <gtest/gtest.h>

namespace tavolix::onvifsim {
namespace {

constexpr Ipv4 first = 0xC6120014;  // 198.18.0.20
constexpr Ipv4 second = 0xC6120015; // 198.18.0.21
constexpr Ipv4 moved = 0xC6120032;  // 198.18.0.50

// The device's clock runs an hour ahead of the fleet's clock below.
std::string request(const std::string& body, const std::string& password = "admin")
{
    return test::envelope(test::tokenHeader(password, "2026-12-07T21:00:00Z"), body);
}

std::string moveTo(const std::string& address)
{
    return request("<tds:SetNetworkInterfaces><tds:InterfaceToken>eth0</tds:InterfaceToken>"
                   "<tds:NetworkInterface><tt:IPv4><tt:Manual><tt:Address>" +
                   address +
                   "</tt:Address><tt:PrefixLength>24</tt:PrefixLength></tt:Manual>"
                   "<tt:DHCP>false</tt:DHCP></tt:IPv4></tds:NetworkInterface>"
                   "</tds:SetNetworkInterfaces>");
}

const std::string getInformation = request("<tds:GetDeviceInformation/>");
const std::string getInterfaces = request("<tds:GetNetworkInterfaces/>");

class OnvifSimFleet : public ::testing::Test
{
protected:
    OnvifSimFleet()
    {
        options.count = 2;
        options.clockOffsetSeconds = 3600;
    }

    SimFleet& fleet()
    {
        if (!m_fleet)
            m_fleet.emplace(
                options,
                [this](const NetworkSettings& before, const NetworkSettings& after, bool keepOld) {
                    moves.push_back(ipv4Text(before.address) + (keepOld ? " stays, " : " -> ") +
                                    ipv4Text(after.address));
                    return true;
                },
                [this](const std::string& line) { transcript.push_back(line); },
                [] { return *parseDateTime("2026-12-07T20:00:00Z"); });
        return *m_fleet;
    }

    // Posts like the HTTP side: commits when a reply says so.
    HttpAnswer post(Ipv4 local, const std::string& body, uint16_t port = 80)
    {
        HttpAnswer answer = fleet().serve(local, port, "POST", "/onvif/device_service", body);
        if (answer.commitAfterReply)
            fleet().commit(*answer.commitAfterReply);
        return answer;
    }

    std::string addressOf(Ipv4 local)
    {
        const std::string body = post(local, getInterfaces).body;
        const auto at = body.find("<tt:Address>");
        return at == std::string::npos ? "none"
                                       : body.substr(at + 12, body.find('<', at + 12) - at - 12);
    }

    OnvifSimOptions options;
    std::vector<std::string> moves;
    std::vector<std::string> transcript;

private:
    std::optional<SimFleet> m_fleet;
};

TEST_F(OnvifSimFleet, TheAddressAndPortAConnectionReachedChooseTheCamera)
{
    EXPECT_NE(post(second, getInformation).body.find("02005e200002"), std::string::npos);
    EXPECT_EQ(post(second, getInformation, 8080).status, 404u);
    EXPECT_EQ(post(moved, getInformation).status, 404u);
    EXPECT_EQ(post(first, request("<tds:GetDeviceInformation/>", "wrong")).status, 400u);
    EXPECT_EQ(transcript.back(),
              "call 02005e200001 GetDeviceInformation fault not-authorized bad-digest");
    EXPECT_EQ(post(first, request("<tds:GetNothing/>")).status, 500u);

    EXPECT_EQ(post(first, moveTo("198.18.0.50")).status, 200u);
    ASSERT_EQ(moves, std::vector<std::string>{"198.18.0.20 -> 198.18.0.50"});
    EXPECT_EQ(post(first, getInterfaces).status, 404u);
    EXPECT_EQ(addressOf(moved), "198.18.0.50");
    EXPECT_EQ(addressOf(second), "198.18.0.21");
    const auto answers = fleet().answerProbe(test::probe(), "198.18.0.1:5000");
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0].source, moved);
    EXPECT_NE(answers[0].message.find(">http://198.18.0.50/onvif/device_service<"),
              std::string::npos);

    // A new HTTP port moves the camera again, within its address.
    post(moved, request("<tds:SetNetworkProtocols><tds:NetworkProtocols><tt:Name>HTTP</tt:Name>"
                        "<tt:Enabled>true</tt:Enabled><tt:Port>8080</tt:Port>"
                        "</tds:NetworkProtocols></tds:SetNetworkProtocols>"));
    EXPECT_EQ(post(moved, getInterfaces).status, 404u);
    EXPECT_EQ(post(moved, getInterfaces, 8080).status, 200u);
    EXPECT_EQ(fleet().listeners(),
              (std::set<HttpListener>{{moved, 8080, false}, {second, 80, false}}));

    // The second camera joins the first's address on port 80, and leaves it
    // again: the address stays for the first.
    post(second, moveTo("198.18.0.50"));
    EXPECT_EQ(addressOf(moved), "198.18.0.50");
    post(moved, moveTo("198.18.0.51"));
    EXPECT_EQ(post(moved, getInterfaces, 8080).status, 200u);
    EXPECT_EQ(moves,
              (std::vector<std::string>{"198.18.0.20 -> 198.18.0.50", "198.18.0.21 -> 198.18.0.50",
                                        "198.18.0.50 stays, 198.18.0.51"}));
}

TEST_F(OnvifSimFleet, RebootNeededAndIgnoringCamerasKeepTheirAddress)
{
    options.rebootNeeded = true;
    options.ignoringDevices = 1;
    const HttpAnswer ignored = post(first, moveTo("198.18.0.50"));
    EXPECT_EQ(ignored.status, 200u);
    EXPECT_EQ(transcript.back(), "call 02005e200001 SetNetworkInterfaces ok 198.18.0.50/24");
    EXPECT_EQ(addressOf(first), "198.18.0.20");

    const HttpAnswer answer = post(second, moveTo("198.18.0.51"));
    EXPECT_NE(answer.body.find("<tds:RebootNeeded>true<"), std::string::npos);
    EXPECT_EQ(addressOf(second), "198.18.0.21");
    post(second, request("<tds:SystemReboot/>"));
    EXPECT_EQ(post(second, request("<tds:GetScopes/>")).status, 404u);
    EXPECT_EQ(addressOf(moved + 1), "198.18.0.51");
    post(first, request("<tds:SystemReboot/>"));
    EXPECT_EQ(addressOf(first), "198.18.0.20");
    EXPECT_EQ(moves, std::vector<std::string>{"198.18.0.21 -> 198.18.0.51"});
}

} // namespace
} // namespace tavolix::onvifsim

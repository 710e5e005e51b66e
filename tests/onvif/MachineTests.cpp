#include "DeviceChange.h"
#include "DeviceReads.h"

#include <gtest/gtest.h>

namespace tavolix::onvif {
namespace {

using namespace std::chrono;

std::string envelope(const std::string& body)
{
    return R"(<env:Envelope xmlns:env="http://www.w3.org/2003/05/soap-envelope" )"
           R"(xmlns:dev="http://www.onvif.org/ver10/device/wsdl" )"
           R"(xmlns:sch="http://www.onvif.org/ver10/schema" )"
           R"(xmlns:ter="http://www.onvif.org/ver10/error"><env:Body>)" +
           body + "</env:Body></env:Envelope>";
}

HttpResult answer(const std::string& body, long status = 200)
{
    return {0, HttpAnswer{status, envelope(body)}};
}

const HttpResult lost{0, incomplete("timed out")};
const HttpResult clock = answer(
    "<dev:GetSystemDateAndTimeResponse><dev:SystemDateAndTime><sch:UTCDateTime><sch:Time>"
    "<sch:Hour>7</sch:Hour><sch:Minute>50</sch:Minute><sch:Second>45</sch:Second></sch:Time>"
    "<sch:Date><sch:Year>2010</sch:Year><sch:Month>9</sch:Month><sch:Day>16</sch:Day></sch:Date>"
    "</sch:UTCDateTime></dev:SystemDateAndTime></dev:GetSystemDateAndTimeResponse>");
const HttpResult refusedLogin =
    answer("<env:Fault><env:Code><env:Value>env:Sender</env:Value><env:Subcode><env:Value>"
           "ter:NotAuthorized</env:Value></env:Subcode></env:Code><env:Reason><env:Text>no"
           "</env:Text></env:Reason></env:Fault>",
           400);
const HttpResult rebootNeeded = answer("<dev:SetNetworkInterfacesResponse><dev:RebootNeeded>true"
                                       "</dev:RebootNeeded></dev:SetNetworkInterfacesResponse>");
const Login login{"admin", "secret"};
const std::string url = "http://198.18.0.9/onvif/device_service";

// A call out as the rows name it: its operation, "+login" with a token made
// in the device's time (the 2010 clock above), "end" when none.
std::string seen(const NextCall& call)
{
    if (!call)
        return "end";
    const bool signedIn2010 = call->body.find("<wsu:Created>2010-09-16T07:5") != std::string::npos;
    EXPECT_EQ(call->url, url);
    return call->action.substr(call->action.rfind('/') + 1) + (signedIn2010 ? "+login" : "");
}

struct Row
{
    HttpResult answer;
    std::string next;
};

TEST(OnvifMachines, ReadsTakeTheClockAgainOnceAfterARefusedLogin)
{
    OnvifDevice device;
    device.service.url = url;
    const std::optional<Login> given = login;
    DeviceReads reads(device, given);
    EXPECT_EQ(seen(reads.start()), "GetSystemDateAndTime");
    const std::vector<Row> rows = {
        {clock, "GetDeviceInformation+login"},
        {refusedLogin, "GetSystemDateAndTime"},
        {clock, "GetDeviceInformation+login"},
        {answer("<dev:GetDeviceInformationResponse/>"), "GetNetworkInterfaces+login"},
        {refusedLogin, "end"}, // the clock is read again once only
    };
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(seen(reads.take(rows[i].answer)), rows[i].next) << "row " << i;
    EXPECT_TRUE(reads.done());
    EXPECT_EQ(reads.device().problem, "the device refused the login");

    DeviceReads anonymous(device, std::nullopt); // the clock alone
    anonymous.start();
    EXPECT_EQ(seen(anonymous.take(lost)), "end");
    EXPECT_EQ(anonymous.device().problem, url + ": timed out");
}

TEST(OnvifMachines, ChangeCallsOneAfterTheOtherAndEndsAsTheAnswersSay)
{
    struct Script
    {
        bool reboot;
        std::vector<Row> rows;
        std::optional<ChangeOutcome> outcome;
    };
    const MacAddress mac{0x02, 0, 0, 0, 0, 0x09};
    const std::string who = "020000000009: ";
    const auto failed = [&](const std::string& message) {
        return ChangeOutcome{mac, ChangeOutcome::State::Failed, who + message};
    };
    const HttpResult scopesTaken = answer("<dev:SetScopesResponse/>");
    const std::vector<Script> scripts = {
        {true,
         {{refusedLogin, "GetSystemDateAndTime"},
          {clock, "SetScopes+login"},
          {scopesTaken, "SetNetworkInterfaces+login"},
          {rebootNeeded, "SystemReboot+login"},
          {lost, "end"}}, // a device may go down before it answers
         std::nullopt},
        {false,
         {{scopesTaken, "SetNetworkInterfaces+login"}, {rebootNeeded, "end"}},
         ChangeOutcome{mac, ChangeOutcome::State::NeedsReboot, ""}},
        {false, {{answer("<x/>", 500), "end"}}, failed("the device refused SetScopes: HTTP 500")},
        {false, {{lost, "end"}}, failed("SetScopes: timed out")},
        {false,
         {{refusedLogin, "GetSystemDateAndTime"}, {lost, "end"}},
         failed("GetSystemDateAndTime: timed out")},
    };
    for (std::size_t s = 0; s < scripts.size(); ++s) {
        OnvifDevice device;
        device.service.url = url;
        device.clockOffset =
            clockOffset(sys_days{year{2010} / 9 / 16} + 7h + 50min + 45s, SystemClock::now());
        const std::vector<ChangeCall> calls = {{setScopes({"onvif://www.onvif.org/name/x"})},
                                               {setNetworkInterfaces({"eth0"})}};
        DeviceChange change(mac, device, calls, ChangeOptions{login, {}, scripts[s].reboot});
        EXPECT_EQ(seen(change.start()), "SetScopes+login") << "script " << s;
        for (std::size_t i = 0; i < scripts[s].rows.size(); ++i) {
            const Row& row = scripts[s].rows[i];
            EXPECT_EQ(seen(change.take(row.answer)), row.next) << "script " << s << " row " << i;
        }
        EXPECT_TRUE(change.ended()) << "script " << s;
        ASSERT_EQ(change.outcome().has_value(), scripts[s].outcome.has_value()) << "script " << s;
        if (const auto& outcome = change.outcome()) {
            EXPECT_EQ(outcome->state, scripts[s].outcome->state) << "script " << s;
            EXPECT_EQ(outcome->message, scripts[s].outcome->message) << "script " << s;
        }
    }
}

} // namespace
} // namespace tavolix::onvif

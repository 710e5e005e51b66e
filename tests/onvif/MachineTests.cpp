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

const auto deviceTime = sys_days{year{2010} / 9 / 16} + 7h + 50min + 45s;

// An answer as HttpExchanges gives it: status, body, the Authorization libcurl
// sent, the WWW-Authenticate values and the Date of the answer.
HttpResult answer(const std::string& body, long status = 200, std::string authorization = {},
                  std::vector<std::string> challenges = {},
                  std::optional<SystemClock::time_point> date = std::nullopt)
{
    return {0, HttpAnswer{status, envelope(body), std::move(challenges), date,
                          std::move(authorization)}};
}

const HttpResult lost{0, incomplete("timed out")};
const std::string clockBody =
    "<dev:GetSystemDateAndTimeResponse><dev:SystemDateAndTime><sch:UTCDateTime><sch:Time>"
    "<sch:Hour>7</sch:Hour><sch:Minute>50</sch:Minute><sch:Second>45</sch:Second></sch:Time>"
    "<sch:Date><sch:Year>2010</sch:Year><sch:Month>9</sch:Month><sch:Day>16</sch:Day></sch:Date>"
    "</sch:UTCDateTime></dev:SystemDateAndTime></dev:GetSystemDateAndTimeResponse>";
const HttpResult clock = answer(clockBody);
const std::string notAuthorized =
    "<env:Fault><env:Code><env:Value>env:Sender</env:Value><env:Subcode><env:Value>"
    "ter:NotAuthorized</env:Value></env:Subcode></env:Code><env:Reason><env:Text>no"
    "</env:Text></env:Reason></env:Fault>";
const HttpResult refusedLogin = answer(notAuthorized, 400);
const HttpResult refusedWithDate = answer(notAuthorized, 400, {}, {}, deviceTime);
const HttpResult timelessWithDate =
    answer("<dev:GetSystemDateAndTimeResponse/>", 200, {}, {}, deviceTime);
const HttpResult taken = answer("<dev:GetDeviceInformationResponse/>");
const std::string md5Sent = R"(Digest username="admin", nonce="n", qop=auth)";
const HttpResult takenSha256 = answer("<dev:GetDeviceInformationResponse/>", 200,
                                      R"(Digest username="admin", algorithm=SHA-256)");
const HttpResult digestRefused =
    answer("", 401, md5Sent, {R"(Digest realm="cam", nonce="m", qop="auth")"});
const HttpResult basicOnly = answer("", 401, {}, {R"(Basic realm="cam")"});
const HttpResult rebootNeeded = answer("<dev:SetNetworkInterfacesResponse><dev:RebootNeeded>true"
                                       "</dev:RebootNeeded></dev:SetNetworkInterfacesResponse>");
const Login login{"admin", "secret"};
const std::string url = "http://198.18.0.9/onvif/device_service";

// A call out as the rows name it: its operation, "+token" with a token made
// in the device's time (the 2010 clock above), "+digest" when libcurl may
// answer a Digest challenge; "end" when none.
std::string seen(const NextCall& call)
{
    if (!call)
        return "end";
    const bool token = call->body.find("UsernameToken") != std::string::npos;
    const bool in2010 = call->body.find("<wsu:Created>2010-09-16T07:5") != std::string::npos;
    EXPECT_EQ(call->url, url);
    EXPECT_EQ(token, in2010) << "a token made in our own time";
    EXPECT_FALSE(token && call->digest) << "a token and Digest in one request";
    EXPECT_EQ(call->digest ? call->digest->password : "secret", "secret");
    return call->action.substr(call->action.rfind('/') + 1) + (token ? "+token" : "") +
           (call->digest ? "+digest" : "");
}

struct Row
{
    HttpResult answer;
    std::string next;
};

TEST(OnvifMachines, ReadsFindHowTheDeviceTakesTheLoginAndItsClock)
{
    struct Script
    {
        std::vector<Row> rows;
        LoginScheme scheme;
        std::string problem;
        bool offsetRead = true; // to the 2010 clock
    };
    const std::string info = "GetDeviceInformation";
    const std::vector<Script> scripts = {
        // A token device: refuses as NotAuthorized, then takes the token; a
        // refused token reads the clock again once.
        {{{clock, info + "+digest"},
          {refusedLogin, info + "+token"},
          {taken, "GetNetworkInterfaces+token"},
          {refusedLogin, "GetSystemDateAndTime+digest"},
          {clock, "GetNetworkInterfaces+token"},
          {refusedLogin, "end"}},
         LoginScheme::UsernameToken,
         "the device refused the login"},
        // 401 without a Digest challenge: a token device too.
        {{{clock, info + "+digest"}, {basicOnly, info + "+token"}, {lost, "end"}},
         LoginScheme::UsernameToken,
         url + ": timed out"},
        // Digest: named by what libcurl sent; a 401 after it is a refusal.
        {{{clock, info + "+digest"},
          {takenSha256, "GetNetworkInterfaces+digest"},
          {digestRefused, "end"}},
         LoginScheme::DigestSha256,
         "the device refused the login"},
        // Asked for nothing.
        {{{clock, info + "+digest"},
          {taken, "GetNetworkInterfaces+digest"},
          {answer("", 500), "end"}},
         LoginScheme::None,
         "the device refused a read: HTTP 500"},
        // A clock kept behind the login: the token is made in its refusal's
        // Date, and a refused token clock is a refused login.
        {{{refusedWithDate, "GetSystemDateAndTime+token"},
          {clock, info + "+token"},
          {refusedLogin, "GetSystemDateAndTime+digest"},
          {refusedWithDate, "GetSystemDateAndTime+token"},
          {refusedLogin, "end"}},
         LoginScheme::UsernameToken,
         "the device refused the login"},
        // A clock answer without a time: the Date tells it.
        {{{timelessWithDate, info + "+digest"}, {refusedLogin, info + "+token"}, {lost, "end"}},
         LoginScheme::UsernameToken,
         url + ": timed out"},
        {{{lost, "end"}}, LoginScheme::Unknown, url + ": timed out", false},
    };
    OnvifDevice device;
    device.service.url = url;
    for (std::size_t s = 0; s < scripts.size(); ++s) {
        DeviceReads reads(device, login);
        EXPECT_EQ(seen(reads.start()), "GetSystemDateAndTime+digest") << "script " << s;
        for (std::size_t i = 0; i < scripts[s].rows.size(); ++i)
            EXPECT_EQ(seen(reads.take(scripts[s].rows[i].answer)), scripts[s].rows[i].next)
                << "script " << s << " row " << i;
        EXPECT_TRUE(reads.done()) << "script " << s;
        EXPECT_EQ(reads.device().problem, scripts[s].problem) << "script " << s;
        EXPECT_EQ(deviceRow(reads.device()).login, scripts[s].scheme) << "script " << s;
        const auto offset = deviceRow(reads.device()).clockOffset;
        ASSERT_EQ(offset.has_value(), scripts[s].offsetRead) << "script " << s;
        if (offset) {
            EXPECT_LE(std::chrono::abs(*offset - clockOffset(deviceTime, SystemClock::now())), 2s)
                << "script " << s;
        }
    }

    DeviceReads anonymous(device, std::nullopt); // the clock alone, no login asked
    EXPECT_EQ(seen(anonymous.start()), "GetSystemDateAndTime");
    EXPECT_EQ(seen(anonymous.take(clock)), "end");
    EXPECT_EQ(anonymous.device().login, LoginScheme::Unknown);
}

TEST(OnvifMachines, ChangeCallsOneAfterTheOtherAndEndsAsTheAnswersSay)
{
    struct Script
    {
        bool reboot;
        LoginScheme scheme; // as the reads found it
        std::vector<Row> rows;
        std::optional<ChangeOutcome> outcome;
    };
    const MacAddress mac{0x02, 0, 0, 0, 0, 0x09};
    const std::string who = "020000000009: ";
    const auto failed = [&](const std::string& message) {
        return ChangeOutcome{mac, ChangeOutcome::State::Failed, who + message};
    };
    const HttpResult scopesTaken = answer("<dev:SetScopesResponse/>");
    const LoginScheme token = LoginScheme::UsernameToken;
    const std::vector<Script> scripts = {
        {true,
         token,
         {{refusedLogin, "GetSystemDateAndTime+digest"},
          {clock, "SetScopes+token"},
          {scopesTaken, "SetNetworkInterfaces+token"},
          {rebootNeeded, "SystemReboot+token"},
          {lost, "end"}}, // a device may go down before it answers
         std::nullopt},
        {false,
         token,
         {{scopesTaken, "SetNetworkInterfaces+token"}, {rebootNeeded, "end"}},
         ChangeOutcome{mac, ChangeOutcome::State::NeedsReboot, ""}},
        {false,
         token,
         {{answer("<x/>", 500), "end"}},
         failed("the device refused SetScopes: HTTP 500")},
        {false, token, {{lost, "end"}}, failed("SetScopes: timed out")},
        {false,
         token,
         {{refusedLogin, "GetSystemDateAndTime+digest"}, {lost, "end"}},
         failed("GetSystemDateAndTime: timed out")},
        // Digest, as the reads found it: never a token, a 401 after it refused.
        {false,
         LoginScheme::DigestMd5,
         {{answer("<dev:SetScopesResponse/>", 200, md5Sent), "SetNetworkInterfaces+digest"},
          {digestRefused, "end"}},
         failed("the device refused the login")},
        {false,
         LoginScheme::DigestSha256,
         {{refusedLogin, "end"}},
         failed("the device refused the login")},
        // Not found by the reads: Digest first, a token when refused.
        {false,
         LoginScheme::Unknown,
         {{refusedLogin, "SetScopes+token"}, {refusedLogin, "GetSystemDateAndTime+digest"}},
         std::nullopt},
    };
    for (std::size_t s = 0; s < scripts.size(); ++s) {
        OnvifDevice device;
        device.service.url = url;
        device.clockOffset = clockOffset(deviceTime, SystemClock::now());
        device.login = scripts[s].scheme;
        const std::vector<ChangeCall> calls = {{setScopes({"onvif://www.onvif.org/name/x"})},
                                               {setNetworkInterfaces({"eth0"})}};
        DeviceChange change(mac, device, calls, ChangeOptions{login, {}, scripts[s].reboot});
        EXPECT_EQ(seen(change.start()),
                  scripts[s].scheme == token ? "SetScopes+token" : "SetScopes+digest")
            << "script " << s;
        for (std::size_t i = 0; i < scripts[s].rows.size(); ++i) {
            const Row& row = scripts[s].rows[i];
            EXPECT_EQ(seen(change.take(row.answer)), row.next) << "script " << s << " row " << i;
        }
        EXPECT_EQ(change.ended(), scripts[s].rows.back().next == "end") << "script " << s;
        ASSERT_EQ(change.outcome().has_value(), scripts[s].outcome.has_value()) << "script " << s;
        if (const auto& outcome = change.outcome()) {
            EXPECT_EQ(outcome->state, scripts[s].outcome->state) << "script " << s;
            EXPECT_EQ(outcome->message, scripts[s].outcome->message) << "script " << s;
        }
    }
}

} // namespace
} // namespace tavolix::onvif

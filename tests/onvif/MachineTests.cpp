#include "DeviceChange.h"
#include "DeviceReads.h"

#include <gtest/gtest.h>
#include <map>
#include <sstream>

namespace tavolix::onvif {
namespace {

using namespace std::chrono;

const auto deviceTime = sys_days{year{2010} / 9 / 16} + 7h + 50min + 45s;

// As HttpExchanges gives it: status, body, Authorization sent, WWW-Authenticate values, Date.
HttpResult answer(const std::string& body, long status = 200, std::string authorization = {},
                  std::vector<std::string> challenges = {},
                  std::optional<SystemClock::time_point> date = std::nullopt)
{
    return {0, HttpAnswer{status,
                          R"(<env:Envelope xmlns:env="http://www.w3.org/2003/05/soap-envelope" )"
                          R"(xmlns:dev="http://www.onvif.org/ver10/device/wsdl" )"
                          R"(xmlns:sch="http://www.onvif.org/ver10/schema" )"
                          R"(xmlns:ter="http://www.onvif.org/ver10/error"><env:Body>)" +
                              body + "</env:Body></env:Envelope>",
                          std::move(challenges), date, std::move(authorization)}};
}

// The operation of the call last seen: an "ok" answers it.
std::string lastOperation;

// The answers the scripts name.
HttpResult named(const std::string& name)
{
    const std::string fault =
        "<env:Fault><env:Code><env:Value>env:Sender</env:Value><env:Subcode><env:Value>"
        "ter:NotAuthorized</env:Value></env:Subcode></env:Code><env:Reason><env:Text>no"
        "</env:Text></env:Reason></env:Fault>";
    const std::string md5 = R"(Digest username="admin", nonce="n", qop=auth)";
    static const std::map<std::string, HttpResult> answers = {
        {"clock", answer("<dev:GetSystemDateAndTimeResponse><dev:SystemDateAndTime>"
                         "<sch:UTCDateTime><sch:Time><sch:Hour>7</sch:Hour><sch:Minute>50"
                         "</sch:Minute><sch:Second>45</sch:Second></sch:Time><sch:Date><sch:Year>"
                         "2010</sch:Year><sch:Month>9</sch:Month><sch:Day>16</sch:Day></sch:Date>"
                         "</sch:UTCDateTime></dev:SystemDateAndTime>"
                         "</dev:GetSystemDateAndTimeResponse>")},
        {"timeless+date", answer("<dev:GetSystemDateAndTimeResponse/>", 200, {}, {}, deviceTime)},
        {"refused", answer(fault, 400)},
        {"refused+date", answer(fault, 400, {}, {}, deviceTime)},
        {"ok", answer("<dev:Response/>")},
        {"ok+md5", answer("<dev:Response/>", 200, md5)},
        {"ok+sha256", answer("<dev:Response/>", 200, R"(Digest username="a", algorithm=SHA-256)")},
        {"401+md5", answer("", 401, md5, {R"(Digest realm="cam", nonce="m", qop="auth")"})},
        {"401basic", answer("", 401, {}, {R"(Basic realm="cam")"})},
        {"401digest", answer("", 401, {}, {R"(Digest realm="cam", nonce="m", qop="auth")"})},
        {"500", answer("<x/>", 500)},
        {"proxy502", {0, HttpAnswer{502, "<html><body>Bad Gateway</body></html>", {}, {}, {}}}},
        {"empty200", {0, HttpAnswer{200, "", {}, {}, {}}}},
        {"reboot", answer("<dev:SetNetworkInterfacesResponse><dev:RebootNeeded>true"
                          "</dev:RebootNeeded></dev:SetNetworkInterfacesResponse>")},
        {"lost", {0, incomplete("timed out")}},              // never reached the device
        {"gone", {0, incomplete("connection reset"), true}}, // reached it, unanswered
    };
    HttpResult found = answers.at(name);
    if (const auto at =
            found.answer ? found.answer->body.find("<dev:Response/>") : std::string::npos;
        at != std::string::npos)
        found.answer->body.replace(at, 15, "<dev:" + lastOperation + "Response/>");
    return found;
}

const Login login{"admin", "secret"};
const std::string url = "http://198.18.0.9/onvif/device_service";

// A call as the scripts name it: operation, "+token" (made in the 2010 device time), "+digest"
// when libcurl may answer a Digest challenge; "end" when none.
std::string seen(const NextCall& call)
{
    if (!call)
        return "end";
    const bool token = call->body.find("UsernameToken") != std::string::npos;
    EXPECT_EQ(call->url, url);
    EXPECT_EQ(token, call->body.find("<wsu:Created>2010-09-16T07:5") != std::string::npos);
    EXPECT_FALSE(token && call->digest) << "a token and Digest in one request";
    EXPECT_EQ(call->digest ? call->digest->password : "secret", "secret");
    lastOperation = call->action.substr(call->action.rfind('/') + 1);
    return lastOperation + (token ? "+token" : "") + (call->digest ? "+digest" : "");
}

// Plays "answer>next answer>next ...": each answer taken, the call it leads to.
template <typename Machine> void play(Machine& machine, const std::string& script)
{
    std::istringstream steps(script);
    for (std::string step; steps >> step;) {
        const auto cut = step.find('>');
        EXPECT_EQ(seen(machine.take(named(step.substr(0, cut)))), step.substr(cut + 1))
            << step << " in " << script;
    }
}

TEST(OnvifMachines, ReadsFindHowTheDeviceTakesTheLoginAndItsClock)
{
    // The steps after the clock's request, the login found, the problem named.
    const std::string refusedLogin = "the device refused the login";
    const std::vector<std::tuple<std::string, LoginScheme, std::string>> scripts = {
        // A token device: refuses as NotAuthorized (or 401 without Digest),
        // then takes the token; a refused token reads the clock again once.
        {"clock>GetDeviceInformation+digest refused>GetDeviceInformation+token "
         "ok>GetNetworkInterfaces+token refused>GetSystemDateAndTime+digest "
         "clock>GetNetworkInterfaces+token refused>end",
         LoginScheme::UsernameToken, refusedLogin},
        {"clock>GetDeviceInformation+digest 401basic>GetDeviceInformation+token lost>end",
         LoginScheme::UsernameToken, url + ": timed out"},
        // Digest: named by what libcurl sent last; a 401 after it is a refusal.
        {"clock>GetDeviceInformation+digest ok+sha256>GetNetworkInterfaces+digest 401+md5>end",
         LoginScheme::DigestMd5, refusedLogin},
        // A Digest libcurl did not answer is no wish for the token.
        {"clock>GetDeviceInformation+digest 401digest>end", LoginScheme::Unknown, refusedLogin},
        // Asked for nothing.
        {"clock>GetDeviceInformation+digest ok>GetNetworkInterfaces+digest 500>end",
         LoginScheme::None, "answered HTTP 500 without a GetNetworkInterfacesResponse"},
        // Neither an answer nor a fault: a proxy's page, an empty body.
        {"clock>GetDeviceInformation+digest proxy502>end", LoginScheme::Unknown,
         "answered HTTP 502, not SOAP"},
        {"clock>GetDeviceInformation+digest ok>GetNetworkInterfaces+digest empty200>end",
         LoginScheme::None, "answered HTTP 200, not SOAP"},
        // A clock behind the login: the token is made in its refusal's Date;
        // a clock answer without a time takes the Date too.
        {"refused+date>GetSystemDateAndTime+token clock>GetDeviceInformation+token "
         "refused>GetSystemDateAndTime+digest refused+date>GetSystemDateAndTime+token "
         "refused>end",
         LoginScheme::UsernameToken, refusedLogin},
        {"timeless+date>GetDeviceInformation+digest refused>GetDeviceInformation+token lost>end",
         LoginScheme::UsernameToken, url + ": timed out"},
    };
    OnvifDevice device;
    device.service.url = url;
    for (const auto& [steps, scheme, problem] : scripts) {
        DeviceReads reads(device, login);
        EXPECT_EQ(seen(reads.start()), "GetSystemDateAndTime+digest");
        play(reads, steps);
        EXPECT_TRUE(reads.done()) << steps;
        EXPECT_EQ(reads.device().problem, problem) << steps;
        const Device row = deviceRow(reads.device());
        EXPECT_EQ(row.login, scheme) << steps;
        EXPECT_LE(
            abs(row.clockOffset.value_or(-1000h) - clockOffset(deviceTime, system_clock::now())),
            2s)
            << steps;
    }
    DeviceReads anonymous(device, std::nullopt); // the clock alone, no login asked
    EXPECT_EQ(seen(anonymous.start()), "GetSystemDateAndTime");
    play(anonymous, "lost>end");
    EXPECT_EQ(anonymous.device().problem, url + ": timed out");
    EXPECT_FALSE(deviceRow(anonymous.device()).clockOffset);
}

TEST(OnvifMachines, ChangeCallsOneAfterTheOtherAndEndsAsTheAnswersSay)
{
    // The login the reads found, the steps, the outcome ("" none, else "failed: <message>" or
    // "needs reboot: "), whether --reboot was given.
    const LoginScheme token = LoginScheme::UsernameToken;
    const std::vector<std::tuple<LoginScheme, std::string, std::string, bool>> scripts = {
        {token,
         "refused>GetSystemDateAndTime+digest clock>SetScopes+token "
         "ok>SetNetworkInterfaces+token reboot>SystemReboot+token gone>end",
         "", true}, // a device may go down before it answers
        {token, "ok>SetNetworkInterfaces+token reboot>end", "needs reboot: ", false},
        {token, "500>end",
         "failed: 020000000009: SetScopes: answered HTTP 500 without a SetScopesResponse", false},
        {token, "proxy502>end", "failed: 020000000009: SetScopes: answered HTTP 502, not SOAP",
         false},
        {token, "ok>SetNetworkInterfaces+token empty200>end",
         "failed: 020000000009: SetScopes taken, SetNetworkInterfaces: answered HTTP 200, not SOAP",
         false},
        {token, "lost>end", "failed: 020000000009: SetScopes not sent: timed out", false},
        {token, "refused>GetSystemDateAndTime+digest lost>end",
         "failed: 020000000009: GetSystemDateAndTime not sent: timed out", false},
        // Taken in part: the calls taken are named; an address call that reached the device
        // and went unanswered is left to the verification, one that never reached it is not.
        {token, "ok>SetNetworkInterfaces+token 500>end",
         "failed: 020000000009: SetScopes taken, SetNetworkInterfaces: answered HTTP 500 without a "
         "SetNetworkInterfacesResponse",
         false},
        {token, "ok>SetNetworkInterfaces+token lost>end",
         "failed: 020000000009: SetScopes taken, SetNetworkInterfaces not sent: timed out", false},
        {token, "ok>SetNetworkInterfaces+token gone>end", "", false},
        // Digest, as the reads found it: never a token; refused when refused.
        {LoginScheme::DigestMd5, "ok+md5>SetNetworkInterfaces+digest 401+md5>end",
         "failed: 020000000009: SetScopes taken, the device refused the login", false},
        {LoginScheme::DigestSha256, "refused>end",
         "failed: 020000000009: the device refused the login", false},
        // Not found by the reads: Digest first, a token when refused.
        {LoginScheme::Unknown, "refused>SetScopes+token refused>GetSystemDateAndTime+digest", "",
         false},
    };
    for (const auto& [scheme, steps, expected, reboot] : scripts) {
        OnvifDevice device;
        device.service.url = url;
        device.clockOffset = clockOffset(deviceTime, SystemClock::now());
        device.login = scheme;
        const std::vector<ChangeCall> calls = {{setScopes({"onvif://www.onvif.org/name/x"})},
                                               {setNetworkInterfaces({"eth0"})}};
        DeviceChange change({0x02, 0, 0, 0, 0, 0x09}, device, calls,
                            ChangeOptions{login, {}, reboot});
        EXPECT_EQ(seen(change.start()), scheme == token ? "SetScopes+token" : "SetScopes+digest");
        play(change, steps);
        EXPECT_EQ(change.ended(), steps.ends_with(">end")) << steps;
        const auto& outcome = change.outcome();
        const bool failed = outcome && outcome->state == ChangeOutcome::State::Failed;
        EXPECT_EQ(outcome ? (failed ? "failed: " : "needs reboot: ") + outcome->message : "",
                  expected)
            << steps;
        EXPECT_EQ(failed && outcome->someTaken, expected.find(" taken") != std::string::npos)
            << steps;
    }
}

} // namespace
} // namespace tavolix::onvif

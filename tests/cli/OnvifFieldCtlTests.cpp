// tavolixctl against ONVIF cameras as they come in the field: each logs in its own way, keeps its
// own clock, names hosts in its XAddrs that are not its own, or speaks only https.
#include "CtlTest.h"

#include <map>

namespace tavolix::e2e {
namespace {

using nlohmann::json;

class OnvifFieldCtlTest : public CtlTest
{
protected:
    // The listing as JSON, by IP address.
    std::map<std::string, json> listed(const std::string& password,
                                       std::vector<std::string> more = {},
                                       const std::string& timeoutMs = "1500")
    {
        std::vector<std::string> arguments = {"search",    "--format", "json",
                                              "--timeout", timeoutMs,  "--protocol",
                                              "onvif",     "--user",   "admin"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        std::vector<std::string> environment = proxies;
        environment.push_back("TAVOLIX_PASSWORD=" + password);
        last = ctl(arguments, environment);
        std::map<std::string, json> rows;
        for (json& row : json::parse(last.out.empty() ? "[]" : last.out))
            rows[row["ip"].get<std::string>()] = row;
        return rows;
    }

    std::vector<std::string> proxies; // set in the environment of listed()
    CtlResult last;
};

constexpr long long halfAYear = 183LL * 24 * 3600;

// Digest with MD5 or SHA-256, the token, a camera offering both; a clock behind the login (for the
// token, read from the HTTP Date header), one in local time given as UTC: each is read,
// re-addressed and verified in its own way; a wrong password is refused alike, nothing changed.
TEST_F(OnvifFieldCtlTest, EachCameraLogsInAsItAsksAndAWrongPasswordIsRefusedAlike)
{
    ASSERT_NO_FATAL_FAILURE(startSite(
        {{"--auth", "digest-md5", "--clock-needs-login"},
         {"--auth", "digest-sha256", "--stale-after", "2"},
         {"--auth", "wsse", "--clock-needs-login", "--clock-offset", std::to_string(halfAYear)},
         {"--auth", "either"},
         {"--auth", "wsse", "--local-time-as-utc"}}));
    auto rows = listed("admin");
    ASSERT_EQ(last.exitCode, 0) << last.err;
    ASSERT_EQ(rows.size(), 5u) << last.out;
    const std::map<std::string, std::string> schemes = {{"198.18.0.20", "digest-md5"},
                                                        {"198.18.0.30", "digest-sha256"},
                                                        {"198.18.0.40", "wsse"},
                                                        {"198.18.0.50", "digest-sha256"},
                                                        {"198.18.0.60", "wsse"}};
    for (const auto& [ip, scheme] : schemes) {
        EXPECT_EQ(rows[ip]["auth"], scheme) << ip;
        EXPECT_EQ(rows[ip]["mask"], "255.255.255.0") << "settings read at " << ip;
    }
    // Only the token needs the camera's time; every clock is read all the same.
    EXPECT_NEAR(rows["198.18.0.40"]["clock_offset_s"].get<double>(), halfAYear, 5);
    EXPECT_NEAR(rows["198.18.0.20"]["clock_offset_s"].get<double>(), 0, 5);
    EXPECT_NEAR(rows["198.18.0.60"]["clock_offset_s"].get<double>(), 8 * 3600, 5);
    // What a camera offering both was answered with is what the row says.
    EXPECT_TRUE(anyCameraSaid("login 02005e500001 digest SHA-256 accepted"));
    EXPECT_FALSE(anyCameraSaid("login 02005e500001 wsse"));
    // A Digest camera's nonce serves its next calls, until it is stale.
    EXPECT_TRUE(anyCameraSaid("unauthorized stale-nonce"));

    // A wrong password: every camera listed unread, each named, exit 1; nothing sent to change.
    rows = listed("Wrong-Pw");
    EXPECT_EQ(last.exitCode, 1);
    for (const auto& [ip, scheme] : schemes) {
        EXPECT_EQ(rows[ip]["mask"], "") << ip;
        EXPECT_EQ(rows[ip]["auth"], scheme) << "the login that failed, at " << ip;
        EXPECT_THAT(last.err, ContainsRegex(ip + "[^\n]*refused the login"));
    }
    EXPECT_THAT(last.out + last.err, Not(HasSubstr("Wrong-Pw")));

    // The whole site moved and verified, each camera in its own way.
    last = asAdmin({"plan", "--ip-from", "198.18.0.100", "--mask", "255.255.255.0"});
    ASSERT_EQ(last.exitCode, 0) << last.err;
    last = asAdmin({"apply", writeFile("site.csv", last.out), "--format", "json"});
    ASSERT_EQ(last.exitCode, 0) << last.err;
    const json report = json::parse(last.out);
    ASSERT_EQ(report.size(), 5u);
    for (const json& row : report)
        EXPECT_EQ(row["result"], "verified") << row.dump();
    for (const std::string line :
         {"call 02005e200001 SetNetworkInterfaces ok", "call 02005e400001 SetNetworkInterfaces ok"})
        EXPECT_TRUE(anyCameraSaid(line)) << line;
}

// https only, https beside http, an XAddr naming 127.0.0.1: the login goes to the answer's
// sender alone, over TLS where offered; --tls-verify takes no self-signed certificate.
TEST_F(OnvifFieldCtlTest, CamerasAreReachedAtTheirSenderOverHttpsWhereOffered)
{
    ASSERT_NO_FATAL_FAILURE(
        startSite({{"--https", "--xaddr-scheme", "https", "--auth", "digest-md5"},
                   {"--https", "--xaddr-scheme", "both", "--auth", "wsse"},
                   {"--xaddr-host", "127.0.0.1", "--auth", "digest-sha256"}}));
    // A proxy in the environment sees no call: here it would refuse them all.
    for (const char* name : {"http_proxy=", "https_proxy=", "ALL_PROXY="})
        proxies.push_back(name + std::string("http://198.18.0.1:9"));
    auto rows = listed("admin");
    EXPECT_EQ(last.exitCode, 0) << last.err;
    ASSERT_EQ(rows.size(), 3u) << last.out;
    EXPECT_EQ(rows["198.18.0.20"]["service_url"], "https://198.18.0.20/onvif/device_service");
    EXPECT_EQ(rows["198.18.0.30"]["service_url"], "https://198.18.0.30/onvif/device_service");
    EXPECT_EQ(rows["198.18.0.40"]["service_url"], "http://198.18.0.40/onvif/device_service");
    EXPECT_EQ(rows["198.18.0.40"]["xaddr_host"], "127.0.0.1");
    EXPECT_EQ(rows["198.18.0.20"]["xaddr_host"], "");
    EXPECT_THAT(last.err, ContainsRegex("127.0.0.1[^\n]*198.18.0.40"));
    EXPECT_EQ(rows["198.18.0.40"]["addresses"],
              json::parse(R"([{"ip":"198.18.0.40","prefix_length":24,"origin":"manual"}])"));

    // Changed and verified over https, and through the sender for the camera naming 127.0.0.1;
    // a new HTTP port does not move a service reached over https.
    const std::pair<std::string, std::string> changes[] = {{"02005e200001", "--name"},
                                                           {"02005e300001", "--http-port"},
                                                           {"02005e400001", "--http-port"}};
    for (const auto& [mac, option] : changes) {
        last = asAdmin({"set", mac, option, option == "--name" ? "Gate" : "8081"});
        EXPECT_EQ(last.exitCode, 0) << mac << ": " << last.err;
    }
    EXPECT_THAT(last.err, HasSubstr("its XAddr names 127.0.0.1")) << "set warns as search does";

    rows = listed("admin", {"--tls-verify"});
    EXPECT_EQ(last.exitCode, 1);
    EXPECT_EQ(rows["198.18.0.20"]["mask"], "") << "a self-signed certificate is not trusted";
    EXPECT_THAT(last.err, ContainsRegex("198.18.0.20[^\n]*(certificate|SSL)"));
}

// A camera slower than a verification round, one that never answers (its MAC told by its
// EndpointReference), one that trickles its answers: each read as far as the time allows.
TEST_F(OnvifFieldCtlTest, SlowCamerasAreReadAcrossRoundsAndASilentOneHoldsBackOnlyItsRow)
{
    ASSERT_NO_FATAL_FAILURE(startSite(
        {{"--answer-delay", "300"}, {"--never-answer", "--mac-endpoints"}, {"--trickle", "200"}}));
    auto rows = listed("admin"); // ends although the silent camera never answers
    EXPECT_EQ(last.exitCode, 1);
    EXPECT_EQ(rows["198.18.0.30"]["mask"], "");
    EXPECT_THAT(last.err, ContainsRegex("198.18.0.30[^\n]*did not answer every read in time"));
    rows = listed("admin", {}, "6000");
    for (const char* ip : {"198.18.0.20", "198.18.0.40"})
        EXPECT_EQ(rows[ip]["mask"], "255.255.255.0") << ip << " read in full";

    // The slow camera's reads outlast a round: they go on, and it is verified. The silent
    // camera fails its row alone; a MAC no one has is skipped.
    const std::string plan = writeFile("plan.csv", "mac,ip\n02005e200001,198.18.0.120\n"
                                                   "02005e300001,198.18.0.130\n"
                                                   "02005e990001,198.18.0.199\n");
    last = asAdmin({"apply", plan, "--format", "json", "--skip-missing", "--timeout", "20000"});
    EXPECT_EQ(last.exitCode, 1) << last.err;
    std::string outcomes;
    for (const json& row : json::parse(last.out.empty() ? "[]" : last.out))
        outcomes += row["mac"].get<std::string>() + " " + row["result"].get<std::string>() + " " +
                    row.value("error", "") + "\n";
    EXPECT_EQ(outcomes, "02005e200001 verified \n02005e300001 failed it answered, but could not be "
                        "read\n02005e990001 skipped \n");
}

// A camera that takes its gateway and refuses its address: the report names the call taken and
// what the camera holds now. One whose service stays on its old port after SetNetworkProtocols
// still gets its address there.
TEST_F(OnvifFieldCtlTest, AChangeRefusedMidwayIsReadBackAndTheServiceIsFollowedWhereItIs)
{
    ASSERT_NO_FATAL_FAILURE(startSite({{"--refuse-interfaces"}, {"--port-stays"}}));
    const std::string plan = writeFile("plan.csv", "mac,ip,gateway,http_port\n"
                                                   "02005e200001,198.18.0.120,198.18.0.2,\n"
                                                   "02005e300001,198.18.0.130,,8081\n");
    last = asAdmin({"apply", plan, "--format", "json", "--timeout", "8000"});
    EXPECT_EQ(last.exitCode, 1) << last.err;
    const json report = json::parse(last.out.empty() ? "[{}, {}]" : last.out);
    EXPECT_EQ(report[0]["result"], "failed");
    EXPECT_THAT(report[0].value("error", ""),
                HasSubstr("SetNetworkDefaultGateway taken, SetNetworkInterfaces refused: The "
                          "address is locked"));
    EXPECT_EQ(report[0]["changes"]["gateway"],
              json({{"now", "198.18.0.1"}, {"planned", "198.18.0.2"}, {"after", "198.18.0.2"}}));
    EXPECT_EQ(report[0]["changes"]["ip"]["after"], "198.18.0.20");
    EXPECT_EQ(report[1]["result"], "verified") << report[1].dump();
    EXPECT_TRUE(anyCameraSaid("call 02005e300001 SetNetworkInterfaces ok 198.18.0.130/24"));

    // set says the same, with what the camera holds now.
    last = asAdmin({"set", "02005e200001", "--gateway", "198.18.0.3", "--ip", "198.18.0.121"});
    EXPECT_EQ(last.exitCode, 1);
    EXPECT_THAT(last.err,
                HasSubstr("SetNetworkDefaultGateway taken, SetNetworkInterfaces refused"));
    EXPECT_THAT(last.out, ContainsRegex("ip +198.18.0.121 +198.18.0.20 +no\n.*gateway +198.18.0.3 "
                                        "+198.18.0.3 +yes"));
}

// A clock that jumps at the first change and takes each nonce once, an answer without end, two
// HTTP entries: the cameras are read, changed and verified, the runaway one listed unread.
TEST_F(OnvifFieldCtlTest, FirmwareFaultsNeitherStopTheOthersNorGoUnnoticed)
{
    ASSERT_NO_FATAL_FAILURE(startSite({{"--auth", "wsse", "--clock-jump", "3600", "--nonce-once"},
                                       {"--count", "2", "--oversized", "1"},
                                       {"--split-http-entry"}}));
    auto rows = listed("admin");
    EXPECT_EQ(last.exitCode, 1);
    EXPECT_EQ(rows["198.18.0.30"]["mask"], "") << "the answer without end is not read";
    EXPECT_THAT(last.err, ContainsRegex("198.18.0.30[^\n]*larger than 1 MiB"));
    for (const char* ip : {"198.18.0.20", "198.18.0.31", "198.18.0.40"})
        EXPECT_EQ(rows[ip]["mask"], "255.255.255.0") << ip;
    EXPECT_EQ(rows["198.18.0.40"]["http_port"], 80);
    // Cut off near the cap, not read on until the call's time ran out.
    ASSERT_TRUE(cameras[1]->waitUntil(
        [&](const auto&) { return anyCameraSaid("oversized 02005e300001 "); }));
    for (const std::string& bytes : camerasSaid("oversized 02005e300001 "))
        EXPECT_LT(std::stoull(bytes), 16u << 20);
    cameras[1].reset();

    // The first Set is refused, its token made in the clock read before the jump; read again,
    // the clock lets it through. No nonce went twice.
    last = asAdmin({"set", "02005e200001", "--name", "Gate"});
    EXPECT_EQ(last.exitCode, 0) << last.err;
    EXPECT_TRUE(anyCameraSaid("call 02005e200001 SetScopes fault not-authorized stale-created"));
    EXPECT_TRUE(anyCameraSaid("call 02005e200001 SetScopes ok"));
    EXPECT_FALSE(anyCameraSaid("replayed-nonce"));

    // The port goes to the entry the service answers on, and the service is found there.
    last = asAdmin({"set", "02005e400001", "--http-port", "8081"});
    EXPECT_EQ(last.exitCode, 0) << last.err;
    EXPECT_TRUE(anyCameraSaid("call 02005e400001 SetNetworkProtocols ok http=8081"));
}

// A proxy's page, a web server's 200, and Set calls answered with a page or with a fault text in
// Latin-1 holding terminal escapes: each device is named with what it answered, and set and apply
// write their reports, valid and escaped, whatever a device sent.
TEST_F(OnvifFieldCtlTest, AnswersThatAreNoSoapAndHostileFaultTextsAreNamedEscaped)
{
    ASSERT_NO_FATAL_FAILURE(startSite({{"--not-soap", "502"},
                                       {"--not-soap", "200"},
                                       {"--not-soap", "502", "--not-soap-sets"},
                                       {"--latin1-fault"}}));
    auto rows = listed("admin");
    EXPECT_EQ(last.exitCode, 1);
    for (const auto& [ip, status] : {std::pair{"198.18.0.20", "502"}, {"198.18.0.30", "200"}}) {
        EXPECT_EQ(rows[ip]["mask"], "") << ip;
        EXPECT_THAT(last.err,
                    HasSubstr(std::string("ONVIFSIM-001 (http://") + ip +
                              "/onvif/device_service): answered HTTP " + status + ", not SOAP"));
    }
    const std::string page = "02005e400001: SetScopes: answered HTTP 502, not SOAP";
    const std::string latin1 = "02005e500001: SetScopes refused: Adresse "
                               "ung\\xfcltig \\x1b[2J\\x1b]0;owned\\x07";
    const auto expectSafe = [&](const std::string& why) {
        EXPECT_EQ(last.exitCode, 1) << last.err;
        EXPECT_EQ((last.out + last.err).find('\x1b'), std::string::npos) << "a raw ESC";
        EXPECT_THAT(last.out + last.err, HasSubstr(why));
    };
    for (const auto& [mac, why] : {std::pair{"02005e400001", page}, {"02005e500001", latin1}}) {
        last = asAdmin({"set", mac, "--name", "Gate"});
        expectSafe(why);
        EXPECT_THAT(last.out, ContainsRegex("name +Gate +ONVIFSIM-001 +no")) << "the report";
    }
    const std::string plan = writeFile("plan.csv", "mac,name\r\n02005e400001,Gate\r\n"
                                                   "02005e500001,Gate\r\n");
    last = asAdmin({"apply", plan, "--format", "json"});
    expectSafe("some devices were not verified or failed");
    const json report = json::parse(last.out, nullptr, false);
    ASSERT_TRUE(report.is_array() && report.size() == 2) << last.out;
    EXPECT_EQ(report[0]["error"], page) << "an error only where a row failed";
    EXPECT_EQ(report[1]["error"], latin1);
    last = asAdmin({"apply", plan});
    expectSafe(latin1);
    EXPECT_THAT(last.out, HasSubstr(page));
}

} // namespace
} // namespace tavolix::e2e

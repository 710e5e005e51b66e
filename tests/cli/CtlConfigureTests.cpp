// tavolixctl set, plan and apply against simulated devices: what goes on the
// wire, what is verified, and what is refused before anything is sent.
#include "CtlTest.h"

#include <algorithm>
#include <filesystem>

namespace tavolix::e2e {
namespace {

using nlohmann::json;

class CtlConfigureTest : public CtlTest
{};

TEST_F(CtlConfigureTest, SetSendsTheWindowsRequestAndWaitsUntilItReadsBack)
{
    // The devices take a configuration only 1.2 s after it arrives, so the
    // first verification rounds still see the old settings.
    startDevices({"--count", "3", "--login", "maint:Secret-1", "--apply-delay", "1200", "--ip-base",
                  "198.18.0.10"});
    ASSERT_FALSE(HasFatalFailure());
    const CtlResult result = ctl({"set", "02:00:5e:10:00:02", "--name", "Lobby", "--ip",
                                  "198.18.0.77", "--http-port", "8080", "--user", "maint"},
                                 {"TAVOLIX_PASSWORD=Secret-1"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "field      asked        now          ok\n"
                          "name       Lobby        Lobby        yes\n"
                          "ip         198.18.0.77  198.18.0.77  yes\n"
                          "http_port  8080         8080         yes\n");

    // "maint:Secret-1" is bWFpbnQ6U2VjcmV0LTE= in Base64.
    const std::vector<uint8_t> expected =
        byteImage(256, {
                           {0, ascii("VXL83")},
                           {5, {0x32, 0x20}}, // Credentials, 7-38
                           {7, ascii("bWFpbnQ6U2VjcmV0LTE=")},
                           {39, {0x10, 0x06, 0x02, 0x00, 0x5e, 0x10, 0x00, 0x02}}, // Mac
                           {47, {0x20, 0x1F}},                                     // Name, 49-79
                           {49, ascii("Lobby")},
                           {80, {0x11, 0x04, 198, 18, 0, 77}},           // IpAddress
                           {86, {0x14, 0x05, '8', '0', '8', '0', 0x00}}, // HttpPort
                           {93, {0x1F, 0x04, 0xFF, 0xFF, 0xFF, 0xFF}},   // NetworkMode static
                       });
    const auto received = sim->datagrams("recv");
    ASSERT_GE(received.size(), 4u) << "search, configuration, then searches until it reads back";
    EXPECT_EQ(received[0].bytes, searchRequestImage());
    EXPECT_EQ(describeDifference(received[1].bytes, expected), "");
    EXPECT_EQ(received[2].bytes, searchRequestImage());
    EXPECT_EQ(received[3].bytes, searchRequestImage());
    EXPECT_TRUE(sim->waitForLine("apply 02005e100002 name ip port mode"));
}

TEST_F(CtlConfigureTest, BadValuesAndPlansWithProblemsAreRefusedBeforeAnythingIsSent)
{
    startDevices({"--count", "1", "--ip-base", "198.18.0.10"});
    ASSERT_FALSE(HasFatalFailure());
    // Malformed cells and values bad whatever the device are named before any
    // search; the rest after one.
    const std::string bad = writeFile("bad.csv", "mac,ip\r\n02005e10000,999.1.1.1\r\n");
    const std::string unknown = writeFile(
        "unknown.csv", "mac,ip\r\n02005e100001,198.18.0.30\r\n02005e100009,198.18.0.40\r\n");
    const std::string mac = "02005e100001";
    const struct
    {
        std::vector<std::string> arguments;
        std::vector<std::string> complaints;
        std::size_t searches;
    } cases[] = {
        {{"set", mac, "--ip", "198.18.0.300"}, {"--ip \"198.18.0.300\" is not an IPv4 address"}, 0},
        {{"set", mac, "--ip", "224.0.0.9"},
         {"--ip \"224.0.0.9\" is not an address a device can hold"},
         0},
        {{"set", mac, "--http-port", "0"},
         {"--http-port \"0\" is not a port number from 1 to 65535"},
         0},
        {{"set", mac, "--mode", "pppoe"}, {"mode: a kind 1 device cannot use PPPoE"}, 1},
        {{"set", mac, "--ip", "198.18.0.0", "--mask", "255.255.255.0"},
         {"network or broadcast address"},
         1},
        {{"apply", bad},
         {"row 2: mac \"02005e10000\" is not a MAC address",
          "row 2: ip \"999.1.1.1\" is not an IPv4"},
         0},
        {{"apply", unknown},
         {"row 3 (02005e100009): no such device answered the search",
          "1 problem(s) in the plan; nothing was sent"},
         1},
    };
    std::size_t searches = 0;
    for (const auto& c : cases) {
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.end(), {"--user", "admin"});
        const CtlResult result = ctl(arguments, {"TAVOLIX_PASSWORD=admin"});
        EXPECT_EQ(result.exitCode, 2) << c.complaints.front();
        EXPECT_EQ(result.out, "");
        for (const std::string& complaint : c.complaints)
            EXPECT_THAT(result.err, HasSubstr(complaint));
        searches += c.searches;
    }
    expectSearchesThenMarker(searches, "after-refusals");
}

// A device that does not take the change leaves it unverified (exit 1); and
// whatever the password's source, no process's command line, output or error
// text ever holds it.
TEST_F(CtlConfigureTest, AnUntakenChangeIsNotVerifiedAndThePasswordIsShownNowhere)
{
    startDevices({"--count", "2", "--ignore-config", "1", "--login", "admin:S3cret-Pw", "--ip-base",
                  "198.18.0.10"});
    ASSERT_FALSE(HasFatalFailure());
    const std::string password = "S3cret-Pw";
    const std::string file = writeFile("password", password + "\r\n");
    const struct
    {
        const char* mac;
        std::vector<std::string> options;
        std::vector<std::string> environment;
        std::string input;
    } cases[] = {
        {"02005e100001", {"--password-file", file}, {}, ""},
        {"02005e100001", {"--password-file", "-"}, {}, password + "\n"},
        {"02005e100001", {}, {"TAVOLIX_PASSWORD=" + password}, ""},
        {"02005e100002", {}, {"TAVOLIX_PASSWORD=wrong"}, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments = {"set",    c.mac,   "--name",    "Renamed",
                                              "--user", "admin", "--timeout", "1500"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        CtlProcess process(topology.name("host"), arguments, c.environment, c.input);
        int looks = 0;
        while (process.running()) {
            for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
                const std::string text = fileText(entry.path() / "cmdline");
                // Simulators, this test's and any other run's on the machine, are
                // told their devices' login on their own command lines.
                if (text.find("devicesim") == std::string::npos) {
                    EXPECT_THAT(text, Not(HasSubstr(password))) << entry.path();
                }
            }
            ++looks;
        }
        const CtlResult result = process.finish();
        EXPECT_GT(looks, 0);
        EXPECT_EQ(result.exitCode, 1) << result.err;
        EXPECT_THAT(result.err, HasSubstr("not verified within 1500 ms: name"));
        EXPECT_THAT(result.out, HasSubstr("name   Renamed  SIM-00"));
        EXPECT_TRUE(result.out.ends_with("  no\n")) << result.out;
        EXPECT_THAT(result.out, Not(HasSubstr(password)));
        EXPECT_THAT(result.err, Not(HasSubstr(password)));
    }
    // The right password went out from every source: the device names each ignored change.
    EXPECT_TRUE(sim->waitForLine("drop bad-login 02005e100002"));
    const auto lines = sim->lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "drop ignored 02005e100001"), 3);
}

TEST_F(CtlConfigureTest, FiftyFactoryFreshDevicesArePlannedAppliedAndListedInEveryFormat)
{
    startDevices({"--count", "50", "--same-ip", "--ip-base", "192.168.1.108"});
    ASSERT_FALSE(HasFatalFailure());
    const CtlResult planned = ctl({"plan", "--ip-from", "198.18.0.100", "--mask", "255.255.255.0",
                                   "--gateway", "198.18.0.1", "--name-prefix", "cam-"});
    ASSERT_EQ(planned.exitCode, 0) << planned.err;
    EXPECT_EQ(std::count(planned.out.begin(), planned.out.end(), '\n'), 51);
    // On link, so reachable at the planned address.
    EXPECT_THAT(planned.out, HasSubstr("\n02005e100001,\"cam-001\",198.18.0.100,255.255.255.0,"
                                       "198.18.0.1,80,static,1,\"2.4.1-sim\",\"\",\"veth0a\","
                                       "198.18.0.2,true,false\r\n"));
    const std::string plan = writeFile("plan.csv", planned.out);

    const CtlResult dryRun = ctl({"apply", plan, "--dry-run"});
    ASSERT_EQ(dryRun.exitCode, 0) << dryRun.err;
    EXPECT_THAT(dryRun.out, HasSubstr("02005e100001: ip: 192.168.1.108 -> 198.18.0.100\n"));
    EXPECT_THAT(dryRun.out, HasSubstr("02005e100032: name: SIM-050 -> cam-050\n"));
    expectSearchesThenMarker(2, "after-dry-run");

    const std::string password = writeFile("password", "admin\n");
    const CtlResult applied =
        ctl({"apply", plan, "--user", "admin", "--password-file", password, "--format", "json"});
    ASSERT_EQ(applied.exitCode, 0) << applied.err;
    const json report = json::parse(applied.out);
    ASSERT_EQ(report.size(), 50u);
    for (std::size_t i = 0; i < report.size(); ++i) {
        EXPECT_EQ(report[i]["result"], "verified") << report[i].dump();
        EXPECT_EQ(report[i]["ip"], "198.18.0." + std::to_string(100 + i));
    }

    // Listed sorted by IP in every format; not a terminal, so CSV unless told otherwise.
    const CtlResult csv = ctl({"search", "--timeout", "1000"});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 51);
    EXPECT_THAT(csv.out, StartsWith("mac,name,ip,mask,gateway,http_port,mode,kind,version,"
                                    "pppoe_account,interface,source,on_link,ip_conflict\r\n"));
    EXPECT_THAT(csv.out,
                HasSubstr("\n02005e100008,\"cam-008\",198.18.0.107,255.255.255.0,"
                          "198.18.0.1,80,static,1,\"2.4.1-sim\",\"\",\"veth0a\",198.18.0.2,"
                          "true,false\r\n"));
    const CtlResult asJson = ctl({"search", "--timeout", "1000", "--format", "json"});
    ASSERT_EQ(asJson.exitCode, 0) << asJson.err;
    const auto list = nlohmann::ordered_json::parse(asJson.out);
    ASSERT_EQ(list.size(), 50u);
    for (std::size_t i = 0; i < list.size(); ++i)
        EXPECT_EQ(list[i]["ip"], "198.18.0." + std::to_string(100 + i));
    // Every column, in the listing's order; never a password.
    EXPECT_EQ(
        list[7].dump(),
        R"({"mac":"02005e100008","name":"cam-008","ip":"198.18.0.107","mask":"255.255.255.0",)"
        R"("gateway":"198.18.0.1","http_port":80,"mode":"static","kind":1,"version":"2.4.1-sim",)"
        R"("pppoe_account":"","interface":"veth0a","source":"198.18.0.2","on_link":true,)"
        R"("ip_conflict":false})");
    const CtlResult asTable = ctl({"search", "--timeout", "1000", "--format", "table"});
    ASSERT_EQ(asTable.exitCode, 0) << asTable.err;
    EXPECT_EQ(std::count(asTable.out.begin(), asTable.out.end(), '\n'), 51);
    EXPECT_THAT(asTable.out, StartsWith("mac           name     ip"));
    EXPECT_THAT(asTable.out, HasSubstr("\n02005e100032  cam-050  198.18.0.149 "));
}

} // namespace
} // namespace tavolix::e2e

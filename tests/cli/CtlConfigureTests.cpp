// tavolixctl set, plan and apply against simulated devices: what goes on the
// wire, what is verified, and what is refused before anything is sent.
#include "ByteImage.h"
#include "Csv.h"
#include "CtlTest.h"
#include "UniqueFd.h"

#include <algorithm>
#include <array>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace tavolix::e2e {
namespace {

using nlohmann::json;

class CtlConfigureTest : public CtlTest
{};

// A process's command line; empty once it has gone.
std::string commandLineOf(const std::filesystem::path& process)
{
    std::string text;
    const UniqueFd fd(::open((process / "cmdline").c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return text;
    std::array<char, 4096> chunk{};
    ssize_t got = 0;
    while ((got = ::read(fd.get(), chunk.data(), chunk.size())) > 0)
        text.append(chunk.data(), static_cast<std::size_t>(got));
    return text;
}

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

TEST_F(CtlConfigureTest, SetRefusesBadValuesBeforeSendingThem)
{
    startDevices({"--count", "1", "--ip-base", "198.18.0.10"});
    ASSERT_FALSE(HasFatalFailure());
    const struct
    {
        std::vector<std::string> change;
        const char* complaint;
        std::size_t searches; // a value that is bad whatever the device needs no search
    } cases[] = {
        {{"--ip", "198.18.0.300"}, "--ip \"198.18.0.300\" is not an IPv4 address", 0},
        {{"--ip", "224.0.0.9"}, "--ip \"224.0.0.9\" is not an address a device can hold", 0},
        {{"--mask", "255.0.255.0"}, "--mask \"255.0.255.0\" is not a subnet mask", 0},
        {{"--gateway", "gw"}, "--gateway \"gw\" is not an IPv4 address", 0},
        {{"--http-port", "0"}, "--http-port \"0\" is not a port number from 1 to 65535", 0},
        {{"--http-port", "70000"}, "is not a port number from 1 to 65535", 0},
        {{"--name", "12345678901234567890123456789012"}, "32 bytes long, at most 31 fit", 0},
        {{"--mode", "pppoe"}, "mode: a kind 1 device cannot use PPPoE", 1},
        {{"--ip", "198.18.0.0", "--mask", "255.255.255.0"}, "network or broadcast address", 1},
    };
    std::size_t searches = 0;
    for (const auto& c : cases) {
        std::vector<std::string> arguments = {"set", "02005e100001", "--user", "admin"};
        arguments.insert(arguments.end(), c.change.begin(), c.change.end());
        const CtlResult result = ctl(arguments, {"TAVOLIX_PASSWORD=admin"});
        EXPECT_EQ(result.exitCode, 2) << c.complaint;
        EXPECT_NE(result.err.find(c.complaint), std::string::npos) << result.err;
        searches += c.searches;
    }
    syncWith(*sim, devicesAddress, "after-refusals");
    const auto received = sim->datagrams("recv");
    ASSERT_EQ(received.size(), searches + 1) << "the searches and the marker, nothing else";
    for (std::size_t i = 0; i < searches; ++i)
        EXPECT_EQ(received[i].bytes, searchRequestImage());
}

TEST_F(CtlConfigureTest, ADeviceThatDoesNotTakeTheChangeIsNotVerified)
{
    startDevices({"--count", "2", "--ignore-config", "1", "--ip-base", "198.18.0.10"});
    ASSERT_FALSE(HasFatalFailure());
    const struct
    {
        const char* mac;
        const char* password;
        const char* simLine;
    } cases[] = {
        {"02005e100002", "wrong", "drop bad-login 02005e100002"},
        {"02005e100001", "admin", "drop ignored 02005e100001"},
    };
    for (const auto& c : cases) {
        const CtlResult result =
            ctl({"set", c.mac, "--name", "Renamed", "--user", "admin", "--timeout", "2500"},
                {std::string("TAVOLIX_PASSWORD=") + c.password});
        EXPECT_EQ(result.exitCode, 1) << result.err;
        EXPECT_NE(result.err.find("not verified within 2500 ms: name"), std::string::npos)
            << result.err;
        EXPECT_NE(result.out.find("name   Renamed  SIM-00"), std::string::npos) << result.out;
        EXPECT_TRUE(result.out.ends_with("  no\n")) << result.out;
        EXPECT_TRUE(sim->waitForLine(c.simLine));
    }
}

TEST_F(CtlConfigureTest, FiftyFactoryFreshDevicesArePlannedDryRunAndApplied)
{
    startDevices({"--count", "50", "--same-ip", "--ip-base", "192.168.1.108"});
    ASSERT_FALSE(HasFatalFailure());
    const CtlResult planned = ctl({"plan", "--ip-from", "198.18.0.100", "--mask", "255.255.255.0",
                                   "--gateway", "198.18.0.1", "--name-prefix", "cam-"});
    ASSERT_EQ(planned.exitCode, 0) << planned.err;
    std::string error;
    const auto planRows = cli::parseCsv(planned.out, error);
    ASSERT_TRUE(planRows && planRows->size() == 51) << planned.out;
    EXPECT_EQ((*planRows)[1][12], "true") << "reachable at the planned address";
    const std::string plan = writeFile("plan.csv", planned.out);

    const CtlResult dryRun = ctl({"apply", plan, "--dry-run"});
    ASSERT_EQ(dryRun.exitCode, 0) << dryRun.err;
    EXPECT_NE(dryRun.out.find("02005e100001: ip: 192.168.1.108 -> 198.18.0.100\n"),
              std::string::npos);
    EXPECT_NE(dryRun.out.find("02005e100032: name: SIM-050 -> cam-050\n"), std::string::npos);
    syncWith(*sim, devicesAddress, "after-dry-run");
    const auto received = sim->datagrams("recv");
    ASSERT_EQ(received.size(), 3u) << "the plan's search, the dry run's search, the marker";
    EXPECT_EQ(received[1].bytes, searchRequestImage());

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
    const CtlResult after = ctl({"search", "--format", "json", "--timeout", "800"});
    for (const json& device : json::parse(after.out)) {
        EXPECT_EQ(device["on_link"], true);
        EXPECT_EQ(device["ip_conflict"], false);
        EXPECT_EQ(device["gateway"], "198.18.0.1");
    }
}

TEST_F(CtlConfigureTest, APlanWithProblemsIsRefusedWholeAndNothingIsSent)
{
    startDevices({"--count", "5", "--ip-base", "198.18.0.10"});
    ASSERT_FALSE(HasFatalFailure());
    const std::string plan = writeFile("plan.csv", "mac,ip,mode,note\r\n"
                                                   "02005e100001,198.18.0.30,,\r\n"
                                                   "02005e100001,198.18.0.31,,twice\r\n"
                                                   "02005e100002,198.18.0.30,,\r\n"
                                                   "02005e100003,198.18.0.13,,outside's\r\n"
                                                   "02005e100009,198.18.0.40,,unknown\r\n"
                                                   "02005e100003,,pppoe,kind 1\r\n"
                                                   "02005e10000,999.1.1.1,,\r\n");
    const CtlResult result = ctl({"apply", plan, "--user", "admin"}, {"TAVOLIX_PASSWORD=admin"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    // Malformed cells are named first; the rest is checked once they are fixed.
    EXPECT_NE(result.err.find("row 8: mac \"02005e10000\" is not a MAC address"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("row 8: ip \"999.1.1.1\" is not an IPv4"), std::string::npos);

    const std::string fixed = writeFile("fixed.csv", "mac,ip,mode\r\n"
                                                     "02005e100001,198.18.0.30,\r\n"
                                                     "02005e100001,198.18.0.31,\r\n"
                                                     "02005e100002,198.18.0.30,\r\n"
                                                     "02005e100003,198.18.0.14,\r\n"
                                                     "02005e100009,198.18.0.40,\r\n"
                                                     "02005e100004,,pppoe\r\n");
    const CtlResult checked = ctl({"apply", fixed, "--user", "admin"}, {"TAVOLIX_PASSWORD=admin"});
    EXPECT_EQ(checked.exitCode, 2);
    for (const char* problem : {
             "rows 2 and 3 both name 02005e100001",
             "two devices would end with IP 198.18.0.30: 02005e100001 and 02005e100002",
             "planned IP 198.18.0.14 for 02005e100003 is held by 02005e100005, which is not in "
             "the plan",
             "row 6 (02005e100009): no such device answered the search",
             "row 7 (02005e100004): mode: a kind 1 device cannot use PPPoE",
             "problem(s) in the plan; nothing was sent",
         })
        EXPECT_NE(checked.err.find(problem), std::string::npos) << problem << "\n" << checked.err;
    syncWith(*sim, devicesAddress, "after-refusals");
    const auto received = sim->datagrams("recv");
    ASSERT_EQ(received.size(), 2u) << "one search (the malformed plan sends nothing), the marker";
    EXPECT_EQ(received[0].bytes, searchRequestImage());
}

// Whatever the password's source, no process's command line, output or
// error text ever holds it.
TEST_F(CtlConfigureTest, ThePasswordIsOnNoCommandLineAndInNoOutput)
{
    startDevices({"--count", "1", "--ignore-config", "1", "--login", "admin:S3cret-Pw", "--ip-base",
                  "198.18.0.10"});
    ASSERT_FALSE(HasFatalFailure());
    const std::string password = "S3cret-Pw";
    const std::string file = writeFile("password", password + "\r\n");
    const struct
    {
        std::vector<std::string> options;
        std::vector<std::string> environment;
        std::string input;
    } sources[] = {
        {{"--password-file", file}, {}, ""},
        {{"--password-file", "-"}, {}, password + "\n"},
        {{}, {"TAVOLIX_PASSWORD=" + password}, ""},
    };
    for (const auto& source : sources) {
        std::vector<std::string> arguments = {"set",    "02005e100001", "--name",    "X",
                                              "--user", "admin",        "--timeout", "1500"};
        arguments.insert(arguments.end(), source.options.begin(), source.options.end());
        CtlProcess process(topology.name("host"), arguments, source.environment, source.input);
        int looks = 0;
        while (process.running()) {
            for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
                const std::string text = commandLineOf(entry.path());
                // Simulators, this test's and any other run's on the machine, are
                // told their devices' login on their own command lines.
                if (text.find("devicesim") != std::string::npos)
                    continue;
                EXPECT_EQ(text.find(password), std::string::npos) << entry.path();
            }
            ++looks;
        }
        const CtlResult result = process.finish();
        EXPECT_GT(looks, 0);
        EXPECT_EQ(result.exitCode, 1) << result.err; // the device ignores it: not verified
        EXPECT_EQ(result.out.find(password), std::string::npos);
        EXPECT_EQ(result.err.find(password), std::string::npos);
    }
    // The right password went out each time: the device names it in the transcript.
    const auto lines = sim->lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "drop ignored 02005e100001"), 3);
}

} // namespace
} // namespace tavolix::e2e

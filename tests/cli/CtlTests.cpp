// tavolixctl against simulated devices: the wire, the output, the refusals and exit codes.
#include "CtlTest.h"

#include <algorithm>
#include <filesystem>
#include <pty.h>
#include <set>
#include <sys/wait.h>

namespace tavolix::e2e {
namespace {

using nlohmann::json;

TEST_F(CtlTest, RefusesBadValuesUnsentAndWaitsUntilAChangeReadsBack)
{
    // Taken only 1.2 s after it arrives: the first verification rounds see the old settings.
    ASSERT_NO_FATAL_FAILURE(startDevices({"--count", "3", "--login", "maint:Secret-1",
                                          "--apply-delay", "1200", "--ip-base", "198.18.0.10"}));
    // Values bad whatever the device are named before any search, the rest after one.
    const std::string unknown = writeFile(
        "unknown.csv", "mac,ip\r\n02005e100001,198.18.0.30\r\n02005e100009,198.18.0.40\r\n");
    const std::string mac = "02005e100001";
    const std::string longPassword = writeFile("long", "seventeen-bytes-1\n"); // ONVIF takes it
    // The searches made before refusing, the arguments, and what stderr names.
    const std::tuple<std::size_t, std::vector<std::string>, std::string> cases[] = {
        {0, {"set", mac, "--ip", "198.18.0.300"}, "--ip \"198.18.0.300\" is not an IPv4 address"},
        {1, {"set", mac, "--mode", "pppoe"}, "mode: a kind 1 device cannot use PPPoE"},
        {1,
         {"set", mac, "--name", "x", "--password-file", longPassword},
         "native protocol cannot take\ntavolixctl: nothing was sent"},
        {1,
         {"apply", unknown},
         "row 3 (02005e100009): no such device answered the search\n"
         "tavolixctl: 1 problem(s) in the plan; nothing was sent"},
    };
    std::size_t searches = 0;
    for (auto [searchesMade, arguments, complaint] : cases) {
        const CtlResult result = asAdmin(arguments);
        EXPECT_EQ(result.exitCode, 2) << complaint;
        EXPECT_EQ(result.out, "");
        EXPECT_THAT(result.err, HasSubstr(complaint));
        searches += searchesMade;
    }
    expectSearchesThenMarker(searches, "after-refusals");

    const CtlResult result = ctl({"set", "02:00:5e:10:00:02", "--name", "Lobby", "--ip",
                                  "198.18.0.77", "--http-port", "8080", "--user", "maint"},
                                 {"TAVOLIX_PASSWORD=Secret-1"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "field      asked        now          ok\n"
                          "name       Lobby        Lobby        yes\n"
                          "ip         198.18.0.77  198.18.0.77  yes\n"
                          "http_port  8080         8080         yes\n");
    const auto received = sim->datagrams("recv");
    ASSERT_GE(received.size(), searches + 5)
        << "then search, configuration, searches until read back";
    for (const std::size_t i : {1u, 3u, 4u})
        EXPECT_EQ(received[searches + i].bytes, test::searchRequestImage()) << i;
    EXPECT_TRUE(sim->waitForLine("apply 02005e100002 name ip port mode"));
}

// An untaken change is unverified (exit 1); the password shows in no output or error.
TEST_F(CtlTest, AnUntakenChangeIsNotVerifiedAndThePasswordIsShownNowhere)
{
    ASSERT_NO_FATAL_FAILURE(startDevices({"--count", "2", "--ignore-config", "1", "--login",
                                          "admin:S3cret-Pw", "--ip-base", "198.18.0.10"}));
    const std::string password = "S3cret-Pw";
    const std::string file = writeFile("password", password + "\r\n");
    // The MAC, the password's source, and standard input.
    const std::tuple<const char*, std::vector<std::string>, std::vector<std::string>, std::string>
        cases[] = {
            {"02005e100001", {"--password-file", file}, {}, ""},
            {"02005e100001", {"--password-file", "-"}, {}, password + "\n"},
            {"02005e100001", {}, {"TAVOLIX_PASSWORD=" + password}, ""},
            {"02005e100002", {}, {"TAVOLIX_PASSWORD=wrong"}, ""},
        };
    for (const auto& [mac, options, environment, input] : cases) {
        std::vector<std::string> arguments = {"set",    mac,     "--name",    "Renamed",
                                              "--user", "admin", "--timeout", "1500"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const CtlResult result = ctl(arguments, environment, input);
        EXPECT_EQ(result.exitCode, 1) << result.err;
        EXPECT_THAT(result.err, HasSubstr("not verified within 1500 ms: name"));
        EXPECT_THAT(result.out, HasSubstr("name   Renamed  SIM-00"));
        EXPECT_TRUE(result.out.ends_with("  no\n")) << result.out;
        EXPECT_THAT(result.out + result.err, Not(HasSubstr(password)));
    }
    // The right password went out from every source.
    EXPECT_TRUE(sim->waitForLine("drop bad-login 02005e100002"));
    const auto lines = sim->lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "drop ignored 02005e100001"), 3);
}

TEST_F(CtlTest, FiftyFactoryFreshDevicesArePlannedAppliedAndListedInEveryFormat)
{
    ASSERT_NO_FATAL_FAILURE(
        startDevices({"--count", "50", "--same-ip", "--ip-base", "192.168.1.108"}));
    const CtlResult planned = ctl({"plan", "--ip-from", "198.18.0.100", "--mask", "255.255.255.0",
                                   "--gateway", "198.18.0.1", "--name-prefix", "cam-"});
    ASSERT_EQ(planned.exitCode, 0) << planned.err;
    const std::string plan = writeFile("plan.csv", planned.out);

    expectSearchesThenMarker(1, "after-plan"); // a plan sends nothing but its search

    const CtlResult applied = asAdmin({"apply", plan, "--format", "json"});
    ASSERT_EQ(applied.exitCode, 0) << applied.err;
    const json report = json::parse(applied.out);
    ASSERT_EQ(report.size(), 50u);
    for (std::size_t i = 0; i < report.size(); ++i) {
        EXPECT_EQ(report[i]["result"], "verified") << report[i].dump();
        EXPECT_EQ(report[i]["ip"], "198.18.0." + std::to_string(100 + i));
    }

    const CtlResult asJson = ctl({"search", "--timeout", "1000", "--format", "json"});
    ASSERT_EQ(asJson.exitCode, 0) << asJson.err;
    const auto list = nlohmann::ordered_json::parse(asJson.out);
    ASSERT_EQ(list.size(), 50u);
    // Every column, in the listing's order, never a password; the eighth by IP, as planned.
    EXPECT_EQ(
        list[7].dump(),
        R"({"mac":"02005e100008","name":"cam-008","ip":"198.18.0.107","mask":"255.255.255.0",)"
        R"("gateway":"198.18.0.1","http_port":80,"mode":"static","kind":1,"version":"2.4.1-sim",)"
        R"("pppoe_account":"","interface":"veth0a","source":"198.18.0.2","on_link":true,)"
        R"("ip_conflict":false,"protocol":"native","manufacturer":"","model":"",)"
        R"("serial":"","service_url":"","auth":"","mac_conflict":false,"clock_offset_s":null,)"
        R"("xaddr_host":"",)"
        R"("addresses":[{"ip":"198.18.0.107","prefix_length":24,"origin":"manual"}]})");
    outputPath = "/dev/full"; // a listing that cannot be written is no success
    const CtlResult full = ctl({"search", "--timeout", "300", "--format", "csv"});
    EXPECT_EQ(full.exitCode, 3);
    EXPECT_THAT(full.err, HasSubstr("cannot write to standard output"));
}

// The window's list has 255 slots; tavolixctl lists every device that answers.
TEST_F(CtlTest, ListsEveryDeviceOfAFullerSegmentThanTheWindowCan)
{
    ASSERT_NO_FATAL_FAILURE(startDevices({"--count", "300", "--ip-base", "198.18.1.1"}));
    const CtlResult result = ctl({"search", "--timeout", "1500", "--format", "json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::set<std::string> macs; // 02005e100001 to 02005e10012c, each once
    for (const auto& device : json::parse(result.out))
        macs.insert(device["mac"].get<std::string>());
    EXPECT_EQ(std::tuple(macs.size(), *macs.begin(), *macs.rbegin()),
              std::tuple(300u, "02005e100001", "02005e10012c"));
}

// One site-wide plan on one segment: a row of a device elsewhere is refused, skipped when
// asked, or left out by its host cell; the JSON dry run says what each row would change.
TEST_F(CtlTest, RowsOfAbsentDevicesAreSkippedOnlyWhenAskedAndEachChangeIsReported)
{
    ASSERT_NO_FATAL_FAILURE(startDevices({"--count", "2", "--ip-base", "198.18.0.10"}));
    // A move and a name with a backslash, no change, a device on another segment.
    const std::string plan =
        writeFile("site.csv", "mac,ip,name,host\n02005e100001,198.18.0.30,Hall\\\\2,seg1\n"
                              "02005e100002,198.18.0.11,,\n02005E100009,,,seg2\n");
    const auto apply = [&](std::vector<std::string> options) {
        options.insert(options.begin(), {"apply", plan});
        return asAdmin(options);
    };
    const CtlResult refused = apply({}); // without --skip-missing
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_THAT(refused.err, HasSubstr("row 4 (02005e100009): no such device answered"));
    EXPECT_THAT(apply({"--dry-run", "--skip-missing"}).out,
                HasSubstr("02005e100002: no change\n02005e100009: skipped: did not answer\n"));
    EXPECT_EQ(
        nlohmann::ordered_json::parse(
            apply({"--dry-run", "--skip-missing", "--format", "json"}).out)
            .dump(),
        R"([{"mac":"02005e100001","ip":"198.18.0.10","result":"would change","changes":{"name":)"
        R"({"now":"SIM-001","planned":"Hall\\\\2"},"ip":{"now":"198.18.0.10","planned":)"
        R"("198.18.0.30"}}},{"mac":"02005e100002","ip":"198.18.0.11","result":"unchanged",)"
        R"("changes":{}},{"mac":"02005e100009","ip":null,"result":"skipped","changes":{}}])");
    const CtlResult mine = apply({"--dry-run", "--host", "seg1"});
    EXPECT_EQ(mine.exitCode, 0) << mine.err;
    EXPECT_EQ(mine.out,
              "02005e100001: name: SIM-001 -> Hall\\\\2\n02005e100001: ip: 198.18.0.10 -> "
              "198.18.0.30\n02005e100002: no change\n");
    writeFile("site.csv", "mac,host\n02005e100001,\"seg2, seg1\"\n02005e100002,seg2\n");
    EXPECT_THAT(
        apply({"--dry-run", "--host", "seg1"}).err,
        HasSubstr("row 2: host \"seg2, seg1\" names more than one host; a device is changed "
                  "from one host only\ntavolixctl: the plan is refused"));
    writeFile("site.csv", "mac,ip,name,host\n02005e100001,198.18.0.30,Hall\\\\2,seg1\n"
                          "02005e100002,198.18.0.11,,\n02005E100009,,,seg2\n");
    expectSearchesThenMarker(4, "after-dry-runs"); // nothing sent before the real one
    const CtlResult applied = apply({"--skip-missing"});
    EXPECT_EQ(applied.exitCode, 0) << applied.err;
    EXPECT_THAT(applied.out, HasSubstr("02005e100002  198.18.0.11  unchanged\n"
                                       "02005e100009  -            skipped    did not answer\n"));
}

TEST_F(CtlTest, SaysWhySearchesFailAndOnWhichInterfaceEachReplyCameIn)
{
    ASSERT_TRUE(topology.addNamespace("host") && topology.addNamespace("site") &&
                topology.addNamespace("bench") && topology.addNamespace("unlinked") &&
                topology.link("host", "198.18.0.1/24", "site", "198.18.0.2/24") &&
                topology.link("host", "198.19.0.1/24", "bench", "198.19.0.2/24"))
        << topology.error();
    CtlResult result = ctl({"search", "--timeout", "300", "--format", "json"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "[]\n");
    EXPECT_THAT(result.err, HasSubstr("within 300 ms on veth0a 198.18.0.1"));
    EXPECT_THAT(result.err, HasSubstr("firewall must let UDP port 3566 in"));

    result = ctl({"search"}, {}, "", "unlinked");
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_THAT(result.err, HasSubstr("no usable interface"));
    // There too, on a terminal of its own: the prompt does not show what is typed.
    int terminal = -1;
    pid_t child = -1;
    {
        const test::ScopedNetns inside(topology.name("unlinked"));
        ASSERT_TRUE(inside.entered()) << inside.error();
        child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
        if (child == 0) {
            char path[] = TAVOLIXCTL_PATH;
            char environment[] = "PATH=/usr/bin:/bin";
            ::execle(path, path, "set", "02005e100001", "--name", "x", "--user", "admin", nullptr,
                     std::array{environment, static_cast<char*>(nullptr)}.data());
            ::_exit(127);
        }
    }
    std::string shown;
    std::array<char, 256> chunk{};
    for (ssize_t got = 0; (got = ::read(terminal, chunk.data(), chunk.size())) > 0;) {
        shown.append(chunk.data(), static_cast<std::size_t>(got));
        if (shown.ends_with("Password for admin: ")) { // asked only once echo is off
            EXPECT_EQ(::write(terminal, "Typed-Secret\n", 13), 13);
        }
    }
    ::waitpid(child, nullptr, 0);
    ::close(terminal);
    EXPECT_THAT(shown, HasSubstr("no usable interface")) << "it went on after the password";
    EXPECT_THAT(shown, Not(HasSubstr("Typed-Secret")));

    result = ctl({"plan", "--ip-from", "198.18.0.10", "--interface", "eth9"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_THAT(result.err, HasSubstr("eth9"));

    DeviceSimProcess site(topology.name("site"), {"--count", "2", "--ip-base", "198.18.0.20"});
    // Fresh out of the box: every device on one factory address, off link.
    DeviceSimProcess bench(topology.name("bench"), {"--count", "2", "--mac-base", "02005e200001",
                                                    "--ip-base", "192.168.1.108", "--same-ip"});
    ASSERT_TRUE(site.waitReady() && bench.waitReady());

    // Per device: mac, interface, source, on_link and ip_conflict, in IP order.
    const auto listed = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"search", "--format", "json", "--timeout", "800"});
        json rows = json::array();
        for (json device : json::parse(ctl(arguments).out))
            rows.push_back({device["mac"], device["interface"], device["source"], device["on_link"],
                            device["ip_conflict"]});
        return rows.dump();
    };
    EXPECT_EQ(listed({}), R"([["02005e200001","veth1a","198.19.0.2",false,true],)"
                          R"(["02005e200002","veth1a","198.19.0.2",false,true],)"
                          R"(["02005e100001","veth0a","198.18.0.2",true,false],)"
                          R"(["02005e100002","veth0a","198.18.0.2",true,false]])");
    EXPECT_EQ(listed({"--interface", "veth0a"}),
              R"([["02005e100001","veth0a","198.18.0.2",true,false],)"
              R"(["02005e100002","veth0a","198.18.0.2",true,false]])");

    // Another program, such as the window, holds the port.
    DeviceSimProcess holder(topology.name("host"), {"--port", "3566"});
    ASSERT_TRUE(holder.waitReady());
    result = ctl({"search"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_THAT(result.err, HasSubstr("cannot bind UDP port 3566"));
    EXPECT_THAT(result.err, HasSubstr("is a Tavolix window open?"));
    EXPECT_EQ(result.out, "");
}

TEST_F(CtlTest, HostileDeviceNamesReachNoTerminalSpreadsheetOrParserRaw)
{
    // A formula, quotes, an escape, Latin-1, a right-to-left override, a backslash.
    const std::string hostile = "=1+2,\"q\"\x1b[2J\xe9\xe2\x80\xae\\";
    ASSERT_NO_FATAL_FAILURE(
        startDevices({"--count", "2", "--name", hostile, "--ip-base", "198.18.0.10"}));
    // The escaped name as each format quotes it, in CSV behind the formula guard.
    const std::pair<std::string, std::string> formats[] = {
        {"table", R"(02005e100001  =1+2,"q"\x1b[2J\xe9\xe2\x80\xae\\-001  198.18.0.10 )"},
        {"csv", R"(02005e100001,"'=1+2,""q""\x1b[2J\xe9\xe2\x80\xae\\-001",)"},
        {"json", R"("name": "=1+2,\"q\"\\x1b[2J\\xe9\\xe2\\x80\\xae\\\\-001")"},
    };
    for (const auto& [format, expected] : formats) {
        const CtlResult result = ctl({"search", "--timeout", "800", "--format", format});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        // Printable ASCII only: no control character, no Latin-1 byte, no override.
        EXPECT_TRUE(std::all_of(result.out.begin(), result.out.end(), [](char c) {
            return c == '\n' || c == '\r' || (c >= 0x20 && c < 0x7f);
        })) << format;
        EXPECT_THAT(result.out, HasSubstr(expected));
        if (format == "table") { // no line over 120 columns, one column a character here
            EXPECT_THAT(result.out, Not(ContainsRegex("[^\n]{121}")));
        }
    }
    // Into a file too: --wide has every column that holds something.
    EXPECT_THAT(
        ctl({"search", "--timeout", "800", "--wide"}).out,
        ContainsRegex("^mac +name +ip +mask +gateway +http_port +mode +kind +version "
                      "+interface +source +on_link +ip_conflict +protocol +mac_conflict\n"));
}

} // namespace
} // namespace tavolix::e2e

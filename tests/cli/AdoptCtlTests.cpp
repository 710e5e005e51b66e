// tavolixctl --adopt end to end. The host is on 10.20.0.5/24; each camera is a host of its own on
// a factory or link-local address with a default gateway that does not exist, so it answers
// probes to the group and HTTP reaches it only from an address in its subnet. All hang on one
// bridge. Whatever a run does, the host's addresses and routes are as before (TearDown).
#include "CtlTest.h"

#include <csignal>
#include <set>

namespace tavolix::e2e {
namespace {

using nlohmann::json;
using ::testing::IsEmpty;

constexpr const char* factoryCamera = "02005e640001";   // 192.168.1.64/24, via 192.168.1.1
constexpr const char* linkLocalCamera = "02005ea90001"; // 169.254.23.7/16, via 169.254.0.1

class AdoptCtlTest : public CtlTest
{
protected:
    void SetUp() override
    {
        CtlTest::SetUp();
        if (IsSkipped())
            return;
        ASSERT_TRUE(topology.addNamespace("lan")) << topology.error();
        ASSERT_TRUE(
            shell("lan", "ip link add br0 type bridge forward_delay 0; ip link set br0 up"));
        // No IPv6 on the host: its addresses finish their duplicate detection at their own pace.
        ASSERT_NO_FATAL_FAILURE(attach("host", "10.20.0.5/24", "10.20.0.1",
                                       "sysctl -qw net.ipv6.conf.all.disable_ipv6=1 "
                                       "net.ipv6.conf.default.disable_ipv6=1"));
        hostBefore = hostNetwork();
    }
    void TearDown() override
    {
        if (!hostBefore.empty()) {
            EXPECT_EQ(hostNetwork(), hostBefore) << "the host's addresses or routes changed";
        }
        EXPECT_THAT(journals(), IsEmpty());
    }

    bool shell(const std::string& role, const std::string& command)
    {
        const auto result =
            test::runCommand({"ip", "netns", "exec", topology.name(role), "sh", "-ec", command});
        EXPECT_EQ(result.exitCode, 0) << command << ": " << result.output;
        return result.exitCode == 0;
    }
    // A namespace for the role on the bridge through its eth0: address, default via gateway.
    void attach(const std::string& role, const std::string& address, const std::string& gateway,
                const std::string& first = "true")
    {
        ASSERT_TRUE(topology.addNamespace(role)) << topology.error();
        ASSERT_TRUE(shell(role, first) &&
                    shell("lan", "ip link add " + role + " type veth peer name eth0 netns " +
                                     topology.name(role) + "; ip link set " + role +
                                     " master br0 up"));
        ASSERT_TRUE(shell(role, "ip addr add " + address +
                                    " brd + dev eth0; ip link set eth0 up; "
                                    "ip route add default via " +
                                    gateway +
                                    "; for i in $(seq 500); do ip -o link show eth0 | grep -q "
                                    "'state UP' && exit 0; sleep 0.01; done; exit 1"));
    }
    void startCamera(const std::string& role, const std::string& address, int prefix,
                     const std::string& gateway, const std::string& mac,
                     std::vector<std::string> options)
    {
        ASSERT_NO_FATAL_FAILURE(attach(role, address + "/" + std::to_string(prefix), gateway));
        options.insert(options.begin(), {"--interface", "eth0", "--answer-to-group", "--ip-base",
                                         address, "--prefix", std::to_string(prefix), "--gateway",
                                         gateway, "--mac-base", mac});
        cameras.push_back(std::make_unique<DeviceSimProcess>(topology.name(role), options,
                                                             TAVOLIX_ONVIFSIM_PATH));
        ASSERT_TRUE(cameras.back()->waitReady());
    }
    void startBoth(const std::vector<std::string>& options = {})
    {
        ASSERT_NO_FATAL_FAILURE(
            startCamera("cam1", "192.168.1.64", 24, "192.168.1.1", factoryCamera, options));
        ASSERT_NO_FATAL_FAILURE(
            startCamera("cam2", "169.254.23.7", 16, "169.254.0.1", linkLocalCamera, options));
    }

    std::string hostNetwork() const
    {
        const std::string host = topology.name("host");
        return test::runCommand({"ip", "-n", host, "-j", "addr"}).output +
               test::runCommand({"ip", "-n", host, "-j", "route", "show", "table", "all"}).output;
    }
    // Waits for an address on the host's eth0 that begins so, while the run goes on; that address
    // with its prefix.
    std::string waitForHostAddress(const std::string& begins, test::ChildProcess& running)
    {
        for (int attempt = 0; attempt < 1500 && !running.poll(); ++attempt) {
            const std::string shown = test::runCommand({"ip", "-n", topology.name("host"), "-4",
                                                        "-o", "addr", "show", "dev", "eth0"})
                                          .output;
            if (const auto at = shown.find("inet " + begins); at != std::string::npos)
                return shown.substr(at + 5, shown.find(' ', at + 5) - at - 5);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return {};
    }
    std::filesystem::path runDir() const { return folder.path() / "run"; }
    std::vector<std::string> journals() const
    {
        std::vector<std::string> names;
        if (std::filesystem::exists(runDir()))
            for (const auto& entry : std::filesystem::directory_iterator(runDir()))
                names.push_back(entry.path().filename());
        return names;
    }
    std::vector<std::string> environment() const
    {
        return {"TAVOLIX_PASSWORD=admin", "TAVOLIX_RUN_DIR=" + runDir().string(),
                "PATH=/usr/bin:/bin"};
    }
    CtlResult run(const std::vector<std::string>& arguments)
    {
        return ctl(arguments, environment());
    }
    // tavolixctl in the host's namespace, not waited for; its output in out and err.
    std::unique_ptr<test::ChildProcess> launch(std::vector<std::string> arguments,
                                               const std::vector<std::string>& wrapper = {})
    {
        arguments.insert(arguments.begin(), TAVOLIXCTL_PATH);
        arguments.insert(arguments.begin(), wrapper.begin(), wrapper.end());
        test::LaunchOptions options;
        options.arguments = std::move(arguments);
        options.environment = environment();
        options.networkNamespace = topology.name("host");
        options.outputFile = folder.path() / "out";
        options.errorFile = folder.path() / "err";
        return std::make_unique<test::ChildProcess>(options);
    }
    std::string planMovingBoth()
    {
        return writeFile("plan.csv", std::string("mac,ip,mask,gateway\n") + factoryCamera +
                                         ",10.20.0.64,255.255.255.0,10.20.0.1\n" + linkLocalCamera +
                                         ",10.20.0.65,255.255.255.0,10.20.0.1\n");
    }

    std::string hostBefore;
    CtlResult last;
};

TEST_F(AdoptCtlTest, WithoutAdoptForeignCamerasAreListedFromTheirProbeAnswersAndGetNoHttp)
{
    ASSERT_NO_FATAL_FAILURE(startBoth());
    // Every TCP connection the host opens is counted: a camera it cannot reach must get none.
    ASSERT_TRUE(shell("host", "nft 'add table ip watch; add chain ip watch out { type filter "
                              "hook output priority 0; }; add rule ip watch out tcp flags syn "
                              "counter'"));
    last = run({"search", "--user", "admin", "--format", "json", "--timeout", "1500"});
    EXPECT_EQ(last.exitCode, 0) << last.err;
    json rows = json::array();
    for (const json& d : json::parse(last.out.empty() ? "[]" : last.out))
        rows.push_back({d["ip"], d["protocol"], d["interface"], d["on_link"], d["ip_conflict"]});
    EXPECT_EQ(rows, json::parse(R"([["169.254.23.7", "onvif", "eth0", false, false],
                                    ["192.168.1.64", "onvif", "eth0", false, false]])"));
    EXPECT_THAT(last.err, ContainsRegex("2 ONVIF devices answered from subnets this host is not "
                                        "on \\([^\n]*on eth0\\); --adopt \\(as root\\) reaches "
                                        "them"));
    EXPECT_THAT(last.err, HasSubstr("169.254.23.7"));
    EXPECT_THAT(last.err, HasSubstr("192.168.1.64"));
    EXPECT_THAT(test::runCommand({"ip", "netns", "exec", topology.name("host"), "nft", "list",
                                  "chain", "ip", "watch", "out"})
                    .output,
                HasSubstr("counter packets 0 bytes 0"));
}

TEST_F(AdoptCtlTest, AdoptReadsBothCamerasAndOneApplyMovesThemOntoTheHostsSubnet)
{
    ASSERT_NO_FATAL_FAILURE(startBoth());
    // Another host holds the first candidate in the factory subnet: the ARP probe must see it.
    ASSERT_NO_FATAL_FAILURE(attach("squatter", "192.168.1.253/24", "192.168.1.1"));
    last = run({"search", "--adopt", "--user", "admin", "--format", "json", "--timeout", "3000"});
    EXPECT_EQ(last.exitCode, 0) << last.err;
    json rows = json::array();
    for (const json& d : json::parse(last.out.empty() ? "[]" : last.out))
        rows.push_back({d["mac"], d["ip"], d["mask"], d["gateway"], d["name"]});
    EXPECT_EQ(rows, json::parse(R"([
        ["02005ea90001", "169.254.23.7", "255.255.0.0", "169.254.0.1", "ONVIFSIM-001"],
        ["02005e640001", "192.168.1.64", "255.255.255.0", "192.168.1.1", "ONVIFSIM-001"]])"));
    EXPECT_THAT(last.err, HasSubstr("reached 192.168.1.0/24 on eth0 from the temporary address "
                                    "192.168.1.252/24 (removed"));
    EXPECT_THAT(last.err, ContainsRegex("reached 169.254.0.0/16 on eth0 from the temporary "
                                        "address 169\\.254\\.[0-9.]+/16 \\(removed"));

    last = run({"apply", planMovingBoth(), "--adopt", "--user", "admin", "--format", "json",
                "--timeout", "6000"});
    EXPECT_EQ(last.exitCode, 0) << last.err;
    json results = json::array();
    for (const json& d : json::parse(last.out.empty() ? "[]" : last.out))
        results.push_back({d["mac"], d["result"], d["changes"]["ip"]});
    EXPECT_EQ(results, json::parse(R"([
        ["02005e640001", "verified",
         {"now": "192.168.1.64", "planned": "10.20.0.64", "after": "10.20.0.64"}],
        ["02005ea90001", "verified",
         {"now": "169.254.23.7", "planned": "10.20.0.65", "after": "10.20.0.65"}]])"));
    // The gateway first, while the camera is still where the temporary address reaches it.
    EXPECT_EQ(camerasSaid("move "),
              (std::vector<std::string>{
                  "02005e640001 192.168.1.64/24:80 -> 192.168.1.64/24:80 gateway 10.20.0.1",
                  "02005e640001 192.168.1.64/24:80 -> 10.20.0.64/24:80 gateway 10.20.0.1",
                  "02005ea90001 169.254.23.7/16:80 -> 169.254.23.7/16:80 gateway 10.20.0.1",
                  "02005ea90001 169.254.23.7/16:80 -> 10.20.0.65/24:80 gateway 10.20.0.1"}));
    // Released once the change took its camera out of the subnet, not at the end of the run.
    EXPECT_THAT(last.err, HasSubstr("from the temporary address 192.168.1.252/24 (removed again)"));

    // The next camera comes up on the same factory address: read at once, though the host's
    // neighbour table still knows the first one's MAC there.
    ASSERT_NO_FATAL_FAILURE(
        startCamera("cam3", "192.168.1.64", 24, "192.168.1.1", "02005e660001", {}));
    last = run({"search", "--adopt", "--user", "admin", "--format", "json", "--timeout", "3000"});
    EXPECT_THAT(last.out, HasSubstr(R"("mac": "02005e660001")")) << last.err;
}

TEST_F(AdoptCtlTest, SigtermDuringAChangeRemovesTheTemporaryAddresses)
{
    ASSERT_NO_FATAL_FAILURE(startBoth({"--answer-delay", "600"}));
    const auto apply =
        launch({"apply", planMovingBoth(), "--adopt", "--user", "admin", "--timeout", "20000"});
    cameras.front()->waitUntil(
        [&](const std::vector<std::string>& lines) {
            return apply->poll() || std::ranges::any_of(lines, [](const std::string& line) {
                       return line.starts_with(std::string("call ") + factoryCamera + " Set");
                   });
        },
        std::chrono::seconds(40));
    ASSERT_FALSE(waitForHostAddress("192.168.1.", *apply).empty())
        << "the change is under way through the temporary address\n"
        << fileText(folder.path() / "err");
    ::kill(apply->pid(), SIGTERM);
    EXPECT_EQ(apply->waitAtMost(std::chrono::seconds(10)), 128 + SIGTERM)
        << "the signal, raised again, ends it";
}

TEST_F(AdoptCtlTest, AfterSigkillTheNextAdoptRunRemovesWhatTheKilledOneLeft)
{
    ASSERT_NO_FATAL_FAILURE(startBoth({"--answer-delay", "3000"}));
    const auto search = launch({"search", "--adopt", "--user", "admin", "--timeout", "20000"});
    const std::string leftover = waitForHostAddress("192.168.1.", *search);
    ASSERT_FALSE(leftover.empty()) << fileText(folder.path() / "err");
    ::kill(search->pid(), SIGKILL);
    ASSERT_EQ(search->wait(), 128 + SIGKILL);
    EXPECT_THAT(journals(), ::testing::Contains("adopted-" + std::to_string(search->pid())));
    EXPECT_NE(hostNetwork(), hostBefore) << "a killed run cannot clean up";

    cameras.clear(); // what is removed now is the journal's doing alone
    last = run({"search", "--adopt", "--timeout", "500"});
    EXPECT_EQ(last.exitCode, 1) << "nothing answers";
    EXPECT_THAT(last.err, HasSubstr("removed " + leftover +
                                    " from eth0, left by a run that ended "
                                    "(pid " +
                                    std::to_string(search->pid()) + ")"));
}

TEST_F(AdoptCtlTest, WithoutCapNetAdminAdoptFailsBeforeAnyProbe)
{
    ASSERT_NO_FATAL_FAILURE(startBoth());
    const auto refused = launch(
        {"search", "--adopt", "--user", "admin"},
        {"/usr/sbin/capsh", "--drop=cap_net_admin,cap_net_raw", "--", "-c", "exec \"$0\" \"$@\""});
    EXPECT_EQ(refused->waitAtMost(std::chrono::seconds(30)), 3);
    EXPECT_THAT(fileText(folder.path() / "err"),
                HasSubstr("--adopt needs CAP_NET_ADMIN to add a temporary address (and "
                          "CAP_NET_RAW to probe that it is free): run tavolixctl as root"));
    // A search after it: the cameras log its probes after any earlier one, all from one port.
    last = run({"search", "--protocol", "onvif", "--timeout", "800"});
    ASSERT_TRUE(cameras.front()->waitUntil([](const std::vector<std::string>& lines) {
        return std::ranges::any_of(lines, [](auto& line) { return line.starts_with("probe "); });
    }));
    std::set<std::string> probers;
    for (const std::string& line : camerasSaid("probe "))
        probers.insert(line.substr(0, line.find(' ')));
    EXPECT_EQ(probers.size(), 1u) << "only the second run probed";
}

TEST_F(AdoptCtlTest, TwoCamerasOnOneFactoryAddressAreAConflictAndNotChanged)
{
    ASSERT_NO_FATAL_FAILURE(
        startCamera("cam1", "192.168.1.64", 24, "192.168.1.1", factoryCamera, {}));
    ASSERT_NO_FATAL_FAILURE(
        startCamera("cam2", "192.168.1.64", 24, "192.168.1.1", "02005e650001", {}));
    last = run({"search", "--adopt", "--user", "admin", "--format", "json", "--timeout", "3000"});
    EXPECT_EQ(last.exitCode, 0) << last.err;
    const json rows = json::parse(last.out.empty() ? "[]" : last.out);
    ASSERT_EQ(rows.size(), 2u) << last.out;
    for (const json& row : rows)
        EXPECT_EQ(row["ip_conflict"], true) << row.dump();
    const std::string mac = rows[0]["mac"];
    for (const std::string command : {"set", "apply"}) {
        last = command == "set"
                   ? run({"set", mac, "--ip", "10.20.0.70", "--adopt", "--user", "admin",
                          "--timeout", "3000"})
                   : run({"apply", writeFile("one.csv", "mac,ip\n" + mac + ",10.20.0.70\n"),
                          "--dry-run", "--adopt", "--user", "admin"});
        EXPECT_EQ(last.exitCode, 2) << command << ": " << last.err;
        EXPECT_THAT(last.err, HasSubstr("2 ONVIF devices answer from 192.168.1.64: HTTP cannot "
                                        "tell them apart; connect them one at a time or give "
                                        "them DHCP"));
    }
    EXPECT_THAT(camerasSaid("call " + mac + " Set"), IsEmpty());
}

} // namespace
} // namespace tavolix::e2e

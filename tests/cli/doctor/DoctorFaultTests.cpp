// tavolixctl doctor in a host namespace joined to simulated devices, with
// one fault set up per case: what each check says, and the exit code.
#include "Doctor.h"
#include "NamespaceSearchProbe.h"
#include "NamespaceTest.h"

#include <functional>
#include <iostream>
#include <sstream>

namespace tavolix::doctor::test {
namespace {

using namespace std::chrono_literals;

struct Expected
{
    std::string check;
    Verdict verdict;
    std::string detailPart;
};

class DoctorFaultTest;

struct FaultCase
{
    std::string name;
    std::function<void(DoctorFaultTest&)> setUpFault;
    std::vector<Expected> expected;
    int exitCode;
};

void PrintTo(const FaultCase& fault, std::ostream* out)
{
    *out << fault.name;
}

class DoctorFaultTest : public e2e::NamespaceTest, public ::testing::WithParamInterface<FaultCase>
{
public:
    // A command run inside the host namespace.
    void inHost(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {"ip", "netns", "exec", topology.name("host")});
        const auto result = tavolix::test::runCommand(arguments);
        ASSERT_EQ(result.exitCode, 0) << arguments.back() << ": " << result.output;
    }

    void nft(const std::string& command) { inHost({"nft", command}); }

    // veth1a (host) to veth1b (devices), on a subnet of its own.
    void secondLink()
    {
        ASSERT_TRUE(topology.link("host", "198.18.2.1/24", "devices", "198.18.2.2/24"))
            << topology.error();
    }

    // A second simulator in the host namespace, listening on the port the
    // search needs.
    void holdSearchPort()
    {
        portHolder.emplace(topology.name("host"), std::vector<std::string>{"--port", "3566"});
        ASSERT_TRUE(portHolder->waitReady());
    }

    std::optional<e2e::DeviceSimProcess> portHolder;
};

const std::string nftInputChain = "add chain inet tvx input { type filter hook input priority 0; ";

const FaultCase faultCases[] = {
    {"AllGood",
     [](DoctorFaultTest&) {},
     {{"interface veth0a", Verdict::Pass, "198.18.0.1/24, up, can broadcast"},
      {"port 3566", Verdict::Pass, "can be bound"},
      {"packet filter", Verdict::Pass, "let replies to UDP 3566 in"},
      {"reverse-path filter", Verdict::Pass, "no interface filters strictly"},
      {"search", Verdict::Pass, "3 devices answered in 500 ms: 3 on veth0a"}},
     0},
    {"InterfaceDown",
     [](DoctorFaultTest& test) {
         test.secondLink();
         test.inHost({"ip", "link", "set", "veth1a", "down"});
     },
     {{"interface veth0a", Verdict::Pass, "up"},
      {"interface veth1a", Verdict::Fail, "198.18.2.1/24 is down: a search does not use it"},
      {"search", Verdict::Pass, "3 on veth0a"}},
     1},
    {"PortHeldByAnotherProgram",
     [](DoctorFaultTest& test) { test.holdSearchPort(); },
     {{"port 3566", Verdict::Fail, "Address already in use; held by devicesim (pid "},
      {"search", Verdict::Unknown, "not run: the local port is not free"}},
     1},
    {"NftablesDropsThePort",
     [](DoctorFaultTest& test) {
         test.nft("add table inet tvx");
         test.nft(nftInputChain + "policy accept; }");
         test.nft("add rule inet tvx input udp dport 3566 drop");
     },
     {{"packet filter", Verdict::Fail,
       "drops replies to UDP 3566 on veth0a (inet tvx input: udp dport == 3566 drop)"},
      {"search", Verdict::Fail, "no device answered"}},
     1},
    // Connection tracking does not help: a broadcast request sets up nothing
    // that a unicast reply could match.
    {"NftablesDropPolicyKeepsOnlyEstablished",
     [](DoctorFaultTest& test) {
         test.nft("add table inet tvx");
         test.nft(nftInputChain + "policy drop; }");
         test.nft("add rule inet tvx input ct state established,related accept");
     },
     {{"packet filter", Verdict::Fail, "(inet tvx input: policy drop)"},
      {"search", Verdict::Fail, "no device answered"}},
     1},
    {"NftablesDropPolicyWithThePortAllowed",
     [](DoctorFaultTest& test) {
         test.nft("add table inet tvx");
         test.nft(nftInputChain + "policy drop; }");
         test.nft("add rule inet tvx input ct state established,related accept");
         test.nft("add rule inet tvx input udp dport 3566 accept");
     },
     {{"packet filter", Verdict::Pass, "let replies to UDP 3566 in"},
      {"search", Verdict::Pass, "3 on veth0a"}},
     0},
    // iptables-nft puts the rule into nftables as well, its REJECT as a
    // compat target: both readers must see the drop.
    {"IptablesRejectsThePort",
     [](DoctorFaultTest& test) {
         if (tavolix::test::findProgram("iptables").empty())
             GTEST_SKIP() << "iptables is not installed";
         test.inHost({"iptables", "-A", "INPUT", "-p", "udp", "--dport", "3566", "-j", "REJECT"});
     },
     {{"packet filter", Verdict::Fail, "drops replies to UDP 3566 on veth0a (ip filter INPUT: "},
      {"search", Verdict::Fail, "no device answered"}},
     1},
    {"StrictReversePathFilter",
     [](DoctorFaultTest& test) {
         test.inHost({"sh", "-c", "echo 1 > /proc/sys/net/ipv4/conf/veth0a/rp_filter"});
     },
     {{"reverse-path filter", Verdict::Fail,
       "strict (rp_filter=1) on veth0a: replies from devices on a foreign subnet are dropped"},
      {"search", Verdict::Pass, "3 on veth0a"}},
     1},
};

TEST_P(DoctorFaultTest, ChecksNameTheFault)
{
    const FaultCase& fault = GetParam();
    startDevices({"--count", "3"});
    ASSERT_FALSE(HasFatalFailure());
    fault.setUpFault(*this);
    if (HasFatalFailure() || IsSkipped())
        return;

    std::vector<DoctorCheck> checks;
    {
        const tavolix::test::ScopedNetns inHost(topology.name("host"));
        ASSERT_TRUE(inHost.entered()) << inHost.error();
        checks = runDoctorChecks({}, [] { return searchOnce(500ms); });
    }
    std::ostringstream printed;
    printDoctorChecks(printed, checks);
    std::cout << "tavolixctl doctor, " << fault.name << ":\n" << printed.str();

    for (const Expected& expected : fault.expected) {
        const auto check = std::find_if(checks.begin(), checks.end(), [&](const DoctorCheck& c) {
            return c.name == expected.check;
        });
        ASSERT_NE(check, checks.end()) << expected.check << " missing from\n" << printed.str();
        EXPECT_EQ(check->verdict, expected.verdict) << check->name << ": " << check->detail;
        EXPECT_NE(check->detail.find(expected.detailPart), std::string::npos)
            << check->name << ": " << check->detail;
    }
    EXPECT_EQ(doctorExitCode(checks), fault.exitCode);
}

INSTANTIATE_TEST_SUITE_P(Faults, DoctorFaultTest, ::testing::ValuesIn(faultCases),
                         [](const auto& testCase) { return testCase.param.name; });

} // namespace
} // namespace tavolix::doctor::test

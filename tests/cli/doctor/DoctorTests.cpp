// tavolixctl doctor: the printed report and its exit code, and the program
// itself in a host namespace joined to simulated devices, with one fault set
// up per case.
#include "CtlTest.h"
#include "Doctor.h"

#include <gmock/gmock.h>
#include <iostream>

namespace tavolix::doctor {
namespace {

// A process may name itself with terminal escapes; they are shown, not obeyed.
TEST(DoctorPrintTest, AlignsNamesEscapesControlCharactersAndOnlyAFailureFails)
{
    const std::vector<DoctorCheck> checks{
        {"interface eth0", Verdict::Pass, "192.0.2.1/24, up, can broadcast"},
        {"port 3566", Verdict::Fail, "held by \x1b[2Jevil\n (pid 7)"},
        {"packet filter", Verdict::Unknown, "could not tell"},
    };
    std::ostringstream out;
    printDoctorChecks(out, checks);
    EXPECT_EQ(out.str(), "PASS  interface eth0  192.0.2.1/24, up, can broadcast\n"
                         "FAIL  port 3566       held by \\x1b[2Jevil\\x0a (pid 7)\n"
                         "????  packet filter   could not tell\n");
    EXPECT_EQ(doctorExitCode({checks[0], checks[2]}), 0);
    EXPECT_EQ(doctorExitCode(checks), 1);
}

// One fault, set up in the host namespace, and the lines the doctor must print
// for it, as regular expressions: names padded to the longest, "reverse-path filter".
struct FaultCase
{
    std::string name;
    std::string shellCommand; // run in the host namespace
    std::vector<std::string> lines;
    int exitCode;
    bool holdPort = false; // a second simulator in the host namespace holds UDP 3566
};

void PrintTo(const FaultCase& fault, std::ostream* out)
{
    *out << fault.name;
}

class DoctorFaultTest : public e2e::CtlTest, public ::testing::WithParamInterface<FaultCase>
{};

const std::string nftInput =
    "nft 'table inet tvx { chain input { type filter hook input priority 0; policy ";

const FaultCase faultCases[] = {
    {"AllGood",
     "",
     {"PASS  interface veth0a     198.18.0.1/24, up, can broadcast",
      "PASS  port 3566            UDP 3566 can be bound",
      "PASS  packet filter        .*let replies to UDP 3566 in",
      "PASS  reverse-path filter  no interface filters strictly",
      "PASS  search               3 devices answered in 1500 ms: 3 on veth0a"},
     0},
    {"InterfaceDown",
     "ip link add veth1a type veth peer name veth1b && ip addr add 198.18.2.1/24 dev veth1a",
     {"FAIL  interface veth1a     198.18.2.1/24 is down: a search does not use it",
      "PASS  search               3 devices answered in 1500 ms: 3 on veth0a"},
     1},
    {"PortHeldByAnotherProgram",
     "",
     {"FAIL  port 3566            UDP 3566 cannot be bound: Address already in use; held by "
      "devicesim [(]pid ",
      "[?]{4}  search               not run: the local port is not free"},
     1,
     true},
    {"NftablesDropsThePort",
     nftInput + "accept; udp dport 3566 drop; }; }'",
     {"FAIL  packet filter        drops replies to UDP 3566 on veth0a [(]inet tvx input: udp "
      "dport == 3566 drop[)]",
      "FAIL  search               no device answered in 1500 ms"},
     1},
    // Connection tracking does not help: a broadcast request sets up nothing
    // that a unicast reply could match.
    {"NftablesDropPolicyKeepsOnlyEstablished",
     nftInput + "drop; ct state established,related accept; }; }'",
     {"FAIL  packet filter        drops replies to UDP 3566 on veth0a [(]inet tvx input: policy "
      "drop[)]",
      "FAIL  search               no device answered in 1500 ms"},
     1},
    // iptables-nft puts the rule into nftables as well, its REJECT as a
    // compat target: both readers must see the drop.
    {"IptablesRejectsThePort",
     "iptables -A INPUT -p udp --dport 3566 -j REJECT",
     {"FAIL  packet filter        drops replies to UDP 3566 on veth0a [(]ip filter INPUT: ",
      "FAIL  search               no device answered in 1500 ms"},
     1},
    {"StrictReversePathFilter",
     "echo 1 > /proc/sys/net/ipv4/conf/veth0a/rp_filter",
     {"FAIL  reverse-path filter  strict [(]rp_filter=1[)] on veth0a: replies from devices on a "
      "foreign subnet are dropped",
      "PASS  search               3 devices answered in 1500 ms: 3 on veth0a"},
     1},
};

TEST_P(DoctorFaultTest, ChecksNameTheFault)
{
    const FaultCase& fault = GetParam();
    const std::string program = fault.shellCommand.substr(0, fault.shellCommand.find(' '));
    if (!program.empty() && tavolix::test::findProgram(program).empty())
        GTEST_SKIP() << program << " is not installed";
    startDevices({"--count", "3"});
    ASSERT_FALSE(HasFatalFailure());
    const auto set = tavolix::test::runCommand(
        {"ip", "netns", "exec", topology.name("host"), "sh", "-c", fault.shellCommand});
    ASSERT_EQ(set.exitCode, 0) << set.output;
    std::optional<e2e::DeviceSimProcess> portHolder;
    if (fault.holdPort) {
        portHolder.emplace(topology.name("host"), std::vector<std::string>{"--port", "3566"});
        ASSERT_TRUE(portHolder->waitReady());
    }

    const e2e::CtlResult result = ctl({"doctor"});
    std::cout << "tavolixctl doctor, " << fault.name << ":\n" << result.out << result.err;
    for (const std::string& line : fault.lines)
        EXPECT_THAT("\n" + result.out, ::testing::ContainsRegex("\n" + line));
    EXPECT_EQ(result.exitCode, fault.exitCode);
}

INSTANTIATE_TEST_SUITE_P(Faults, DoctorFaultTest, ::testing::ValuesIn(faultCases),
                         [](const auto& testCase) { return testCase.param.name; });

} // namespace
} // namespace tavolix::doctor

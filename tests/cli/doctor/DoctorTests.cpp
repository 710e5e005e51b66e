// tavolixctl doctor: the packet-filter readers, the report, and one fault set up per case.
#include "CtlTest.h"
#include "Doctor.h"
#include "IptablesRules.h"
#include "NftRules.h"

#include <gmock/gmock.h>
#include <variant>

namespace tavolix::doctor {
namespace {

// nft -j pieces: an expression, a rule of chain input or sub of inet t, a ruleset with a policy.
const auto match = [](const std::string& left, const std::string& right) {
    return R"({"match": {"op": "==", "left": )" + left + R"(, "right": )" + right + "}}";
};
const auto key = [](const std::string& kind, const std::string& name) {
    return R"({")" + kind + R"(": {"key": ")" + name + R"("}})";
};
const auto field = [](const std::string& protocol, const std::string& name) {
    return R"({"payload": {"protocol": ")" + protocol + R"(", "field": ")" + name + R"("}})";
};
const auto rule = [](const std::string& chain, const std::vector<std::string>& expressions) {
    std::string list;
    for (const std::string& expression : expressions)
        list += (list.empty() ? "" : ", ") + expression;
    return R"(, {"rule": {"family": "inet", "table": "t", "chain": ")" + chain + R"(", "expr": [)" +
           list + "]}}";
};
const auto nft = [](const std::string& policy, const std::string& rules) {
    return R"({"nftables": [{"metainfo": {"json_schema_version": 1}},
        {"chain": {"family": "inet", "table": "t", "name": "input", "type": "filter",
        "hook": "input", "prio": 0, "policy": ")" +
           policy + R"("}}, {"chain": {"family": "inet", "table": "t", "name": "sub"}})" + rules +
           "]}";
};

// A ruleset as nft -j ('{') or iptables-save prints it.
Result<std::vector<FilterTable>> readRuleset(const std::string& rules)
{
    return rules.starts_with('{') ? readNftRuleset(rules)
                                  : Result<std::vector<FilterTable>>({readIptablesSave(rules)});
}

const std::string udp3566 = match(field("udp", "dport"), "3566");
const std::string drop = R"({"drop": null})";
const std::string accept = R"({"accept": null})";
const std::string jumpSub = R"({"jump": {"target": "sub"}})";

TEST(FilterRulesTest, ReadersGiveEachRulesetsVerdictOnUnicastAndBroadcastReplies)
{
    using enum FilterVerdict;
    const auto protocol = [](const char* name) { return match(key("meta", "l4proto"), name); };
    const std::string byState = R"({"vmap": {"key": )" + key("ct", "state") +
                                R"(, "data": {"set": [["invalid", {"drop": null}],
                                 ["established", {"accept": null}],
                                 ["new", {"goto": {"target": "sub"}}]]}}})";
    const std::string ufw = "*filter\n:INPUT DROP [0:0]\n:ufw-user-input - [0:0]\n"
                            "-A INPUT -j ufw-user-input\n";
    const std::string open = "*filter\n:INPUT ACCEPT [0:0]\n-A INPUT ";
    // Unicast and broadcast verdicts, and a ruleset.
    std::vector<std::tuple<FilterVerdict, FilterVerdict, std::string>> cases = {
        // A dropped port and an established-only drop policy: see DoctorFaultTest.
        {Accepted, Accepted, R"({"nftables": [{"metainfo": {}}]})"},
        {Accepted, Accepted,
         nft("accept", rule("input", {match(field("tcp", "dport"), "3566"), drop}))},
        {Accepted, Accepted, nft("accept", rule("input", {protocol(R"("tcp")"), drop}))},
        {Accepted, Accepted,
         nft("drop", rule("input", {match(field("udp", "dport"),
                                          R"({"set": [53, {"range": [3000, 4000]}]})"),
                                    accept}))},
        {Unclear, Unclear,
         nft("drop", rule("input", {match(field("ip", "saddr"),
                                          R"({"prefix": {"addr": "10.0.0.0", "len": 8}})"),
                                    udp3566, accept}))},
        {Dropped, Dropped,
         nft("accept", rule("input", {match(key("meta", "iifname"), R"("veth*")"), jumpSub}) +
                           rule("sub", {udp3566, R"({"reject": {"type": "icmpx"}})"}))},
        {Accepted, Accepted,
         nft("accept", rule("input", {match(key("meta", "iifname"), R"("eth*")"), jumpSub}) +
                           rule("sub", {drop}))},
        {Accepted, Accepted,
         nft("drop", rule("input", {jumpSub}) + rule("input", {accept}) +
                         rule("sub", {R"({"return": null})"}) + rule("sub", {drop}))},
        {Accepted, Accepted,
         nft("drop", rule("input", {byState}) + rule("sub", {udp3566, accept}))},
        {Accepted, Dropped,
         nft("accept", rule("input", {match(R"({"fib": {"result": "type", "flags": ["daddr"]}})",
                                            R"("broadcast")"),
                                      drop}))},
        {Accepted, Accepted, "*nat\n:PREROUTING ACCEPT [0:0]\nCOMMIT\n"},
        {Dropped, Dropped,
         "*filter\n:INPUT DROP [0:0]\n:ufw-before-input - [0:0]\n:ufw-not-local - [0:0]\n"
         "-A INPUT -j ufw-before-input\n"
         "-A ufw-before-input -m conntrack --ctstate RELATED,ESTABLISHED -j ACCEPT\n"
         "-A ufw-before-input -p udp -m udp --sport 67 --dport 68 -j ACCEPT\n"
         "-A ufw-before-input -j ufw-not-local\n"
         "-A ufw-not-local -m addrtype --dst-type LOCAL -j RETURN\n"
         "-A ufw-not-local -m addrtype --dst-type BROADCAST -j RETURN\n"
         "-A ufw-not-local -m limit --limit 3/min -j LOG --log-prefix \"[UFW BLOCK] \"\n"
         "-A ufw-not-local -j DROP\nCOMMIT\n"},
        {Accepted, Accepted,
         ufw + "-A ufw-user-input -p udp -m udp --dport 3566 -j ACCEPT\nCOMMIT\n"},
        {Dropped, Dropped,
         open + "! -i lo -p udp -m multiport --dports 53,3500:3600 -j REJECT --reject-with "
                "icmp-port-unreachable\nCOMMIT\n"},
        {Unclear, Unclear, open + "-s 10.0.0.0/8 -j DROP\nCOMMIT\n"},
        {Unclear, Unclear, open + "-m set --match-set blocked src -j DROP\nCOMMIT\n"},
    };
    // The rulesets above that let replies in, each with the rule that does so
    // left out or made to match: a reader that loses that rule fails one of the two.
    for (const std::string& dropsBoth :
         {nft("accept", rule("input", {udp3566, drop})),
          nft("accept", rule("input", {protocol(R"("udp")"), drop})), nft("drop", ""),
          nft("accept", rule("input", {jumpSub}) + rule("sub", {drop})),
          nft("drop", rule("input", {jumpSub}) + rule("input", {accept}) + rule("sub", {drop})),
          nft("drop", rule("input", {byState})), ufw + "COMMIT\n"})
        cases.emplace_back(Dropped, Dropped, dropsBoth);
    for (const auto& [unicast, broadcast, rules] : cases) {
        SCOPED_TRACE(rules);
        const auto tables = readRuleset(rules);
        ASSERT_TRUE(tables && tables->size() <= 1u);
        const FilterTable table = tables->empty() ? FilterTable{} : tables->front();
        for (const bool toBroadcast : {false, true}) {
            const FilterFinding found = evaluateTable(table, {"veth0a", toBroadcast, 4000, 3566});
            EXPECT_EQ(found.verdict, toBroadcast ? broadcast : unicast)
                << (toBroadcast ? "broadcast" : "unicast") << " reply: " << found.because;
        }
    }
    EXPECT_FALSE(readNftRuleset("Error: Operation not permitted"));
}

// An ONVIF device's answer to a probe: unicast, from the discovery port to the probe's port.
TEST(FilterRulesTest, ProbeAnswersAreJudgedByTheirOwnPorts)
{
    using enum FilterVerdict;
    const auto udp = [](const char* name, const std::string& ports) {
        return match(field("udp", name), ports);
    };
    const std::string ufw = "*filter\n:INPUT DROP [0:0]\n-A INPUT -p udp -m udp --dport ";
    // Each ruleset that lets the answer in beside its twin that drops it.
    const std::vector<std::tuple<FilterVerdict, std::string>> cases = {
        {Accepted, nft("accept", rule("input", {udp3566, drop}))},
        {Dropped, nft("accept", rule("input", {udp("dport", "3567"), drop}))},
        {Accepted, nft("drop", rule("input", {udp("sport", "3702"), accept}))},
        {Dropped, nft("drop", rule("input", {udp("sport", "4000"), accept}))},
        {Accepted, ufw + "3566:3567 -j ACCEPT\nCOMMIT\n"},
        {Dropped, ufw + "3566 -j ACCEPT\nCOMMIT\n"},
    };
    for (const auto& [verdict, rules] : cases) {
        SCOPED_TRACE(rules);
        const auto tables = readRuleset(rules);
        ASSERT_TRUE(tables && tables->size() == 1u);
        const FilterFinding found = evaluateTable(tables->front(), {"veth0a", false, 3702, 3567});
        EXPECT_EQ(found.verdict, verdict) << found.because;
    }
}

// A process may name itself with terminal escapes (C0, C1, bidi); they are shown, not obeyed.
TEST(DoctorPrintTest, AlignsNamesEscapesControlCharactersAndOnlyAFailureFails)
{
    const std::vector<DoctorCheck> checks{
        {"interface eth0", Verdict::Pass, "192.0.2.1/24, up, can broadcast"},
        {"port 3566", Verdict::Fail, "held by \x1b[2J\xc2\x9b[Jevil\xe2\x80\xae\n (pid 7)"},
        {"packet filter", Verdict::Unknown, "could not tell"},
    };
    std::ostringstream out;
    printDoctorChecks(out, checks);
    EXPECT_EQ(out.str(),
              "PASS  interface eth0  192.0.2.1/24, up, can broadcast\n"
              "FAIL  port 3566       held by \\x1b[2J\\xc2\\x9b[Jevil\\xe2\\x80\\xae\\x0a (pid 7)\n"
              "????  packet filter   could not tell\n");
    EXPECT_EQ(doctorExitCode({checks[0], checks[2]}), 0);
    EXPECT_EQ(doctorExitCode(checks), 1);
}

// One fault set up in the host namespace, and the lines (regular expressions) the doctor prints.
struct FaultCase
{
    std::string name;
    std::string shellCommand;
    std::vector<std::string> lines;
    uint16_t heldPort = 0; // a second simulator in the host namespace holds this UDP port
    int cameras = 0;       // simulated ONVIF cameras beside the devices
};

class DoctorFaultTest : public e2e::CtlTest, public ::testing::WithParamInterface<std::size_t>
{};

const std::string nftInput =
    "nft 'table inet tvx { chain input { type filter hook input priority 0; policy ";

// clang-format off
const FaultCase faultCases[] = {
    {"AllGood", "",
     {"PASS  interface veth0a     198.18.0.1/24, up, can broadcast",
      "PASS  multicast route      probes to 239.255.255.250 leave veth0a from 198.18.0.1",
      "PASS  port 3566            UDP 3566 can be bound",
      "PASS  port 3567            UDP 3567 can be bound",
      "PASS  packet filter        .*let replies to UDP 3566 and probe answers to UDP 3567 in",
      "PASS  reverse-path filter  no interface filters strictly",
      "PASS  search               5 devices answered in 1500 ms: 3 native, 2 onvif; 5 on veth0a; "
      "from subnets this host is not on: 3 native, reached by MAC\n",
      "PASS  temporary addresses  none left by a killed tavolixctl --adopt"}, 0, 2},
    // A probe takes the address of another interface when its own is not of global scope.
    {"ProbesLeaveWithAnotherInterfacesAddress",
     "ip link add veth1a type veth peer name veth1b && ip link set veth1b up && "
     "ip addr add 198.18.2.1/24 dev veth1a scope link && ip link set veth1a up",
     {"PASS  interface veth1a     198.18.2.1/24, up, can broadcast",
      "FAIL  multicast route      probes to 239.255.255.250 leave veth1a from 198.18.0.1, not an "
      "address of veth1a"}},
    {"InterfaceDownAndStrictReversePathFilter",
     "ip link add veth1a type veth peer name veth1b && ip addr add 198.18.2.1/24 dev veth1a && "
     "echo 1 > /proc/sys/net/ipv4/conf/veth0a/rp_filter",
     {"FAIL  interface veth1a     198.18.2.1/24 is down: a search does not use it",
      "FAIL  reverse-path filter  strict [(]rp_filter=1[)] on veth0a: replies from devices on a ",
      "PASS  search               3 devices answered in 1500 ms: 3 native; 3 on veth0a"}},
    // The kernel takes the larger of "all" and the interface's own value.
    {"PortHeldByAnotherProgramAndStrictReversePathFilterOnAll",
     "echo 1 > /proc/sys/net/ipv4/conf/all/rp_filter",
     {"FAIL  port 3566            UDP 3566 cannot be bound: Address already in use; held by devicesim [(]pid ",
      "FAIL  reverse-path filter  strict [(]rp_filter=1[)] on veth0a: ",
      "[?]{4}  search               not run: the local port is not free"}, 3566},
    {"ProbeAnswerPortHeldByAnotherProgram", "",
     {"PASS  port 3566            UDP 3566 can be bound",
      "FAIL  port 3567            UDP 3567 cannot be bound: Address already in use; held by devicesim [(]pid ",
      "[?]{4}  search               not run: the local port is not free"}, 3567},
    {"NftablesDropsThePort", nftInput + "accept; udp dport 3566 drop; }; }'",
     {"FAIL  packet filter        drops replies to UDP 3566 on veth0a [(]inet tvx input: udp dport == 3566 drop[)]",
      "FAIL  search               no device answered in 1500 ms"}},
    {"NftablesDropsProbeAnswers", nftInput + "accept; udp dport 3567 drop; }; }'",
     {"FAIL  packet filter        drops probe answers to UDP 3567 on veth0a [(]inet tvx input: udp dport == 3567 drop[)]",
      "PASS  search               3 devices answered in 1500 ms: 3 native; 3 on veth0a"}, 0, 2},
    // A broadcast request sets up no connection that a unicast reply could match.
    {"NftablesDropPolicyKeepsOnlyEstablished", nftInput + "drop; ct state established,related accept; }; }'",
     {"FAIL  packet filter        drops replies to UDP 3566 on veth0a [(]inet tvx input: policy drop[)]",
      "FAIL  search               no device answered in 1500 ms"}},
    // iptables-nft puts the rule into nftables too (REJECT as a compat target): both readers see it.
    {"IptablesRejectsThePort", "iptables -A INPUT -p udp --dport 3566 -j REJECT",
     {"FAIL  packet filter        drops replies to UDP 3566 on veth0a [(]ip filter INPUT: ",
      "FAIL  search               no device answered in 1500 ms"}},
};
// clang-format on

TEST_P(DoctorFaultTest, ChecksNameTheFault)
{
    const FaultCase& fault = faultCases[GetParam()];
    const std::string program = fault.shellCommand.substr(0, fault.shellCommand.find(' '));
    if (!program.empty() && tavolix::test::findProgram(program).empty())
        GTEST_SKIP() << program << " is not installed";
    ASSERT_NO_FATAL_FAILURE(startDevices({"--count", "3"}));
    const auto set = tavolix::test::runCommand(
        {"ip", "netns", "exec", topology.name("host"), "sh", "-c", fault.shellCommand});
    ASSERT_EQ(set.exitCode, 0) << set.output;
    std::optional<e2e::DeviceSimProcess> portHolder;
    if (fault.heldPort != 0) {
        portHolder.emplace(topology.name("host"),
                           std::vector<std::string>{"--port", std::to_string(fault.heldPort)});
        ASSERT_TRUE(portHolder->waitReady());
    }
    if (fault.cameras != 0) {
        ASSERT_NO_FATAL_FAILURE(startSite({{"--count", std::to_string(fault.cameras)}}));
    }

    const e2e::CtlResult result = ctl({"doctor"});
    bool failed = false;
    for (const std::string& line : fault.lines) {
        EXPECT_THAT("\n" + result.out, ::testing::ContainsRegex("\n" + line));
        failed = failed || line.starts_with("FAIL");
    }
    EXPECT_EQ(result.exitCode, failed ? 1 : 0) << "only a failure fails";
}

INSTANTIATE_TEST_SUITE_P(Faults, DoctorFaultTest,
                         ::testing::Range<std::size_t>(0, std::size(faultCases)),
                         [](const auto& testCase) { return faultCases[testCase.param].name; });

} // namespace
} // namespace tavolix::doctor

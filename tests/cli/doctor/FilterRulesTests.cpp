// The packet-filter readers on rulesets in the forms nft -j and iptables-save
// print them: what each does with a device's reply to UDP 3566.
#include "IptablesRules.h"
#include "NftRules.h"

#include <gtest/gtest.h>
#include <variant>

namespace tavolix::doctor {
namespace {

enum class Reader
{
    Nft,
    Iptables,
};

struct RulesCase
{
    const char* name;
    Reader reader;
    std::string rules; // nft: the rule objects of chain "inet t input" and "inet t sub"
    FilterVerdict unicast;
    FilterVerdict broadcast;
};

void PrintTo(const RulesCase& rules, std::ostream* out)
{
    *out << rules.name;
}

// An nft -j ruleset: an input chain with the policy, a regular chain "sub",
// and rules given as "chain|expr-array" lines.
std::string nftRuleset(const std::string& policy, const std::vector<std::string>& rules)
{
    std::string items = R"({"chain": {"family": "inet", "table": "t", "name": "input",
        "type": "filter", "hook": "input", "prio": 0, "policy": ")" +
                        policy + R"("}},
        {"chain": {"family": "inet", "table": "t", "name": "sub"}})";
    for (const std::string& rule : rules) {
        const std::size_t bar = rule.find('|');
        items += R"(, {"rule": {"family": "inet", "table": "t", "chain": ")" + rule.substr(0, bar) +
                 R"(", "expr": )" + rule.substr(bar + 1) + "}}";
    }
    return R"({"nftables": [{"metainfo": {"json_schema_version": 1}}, )" + items + "]}";
}

const std::string udp3566 =
    R"({"match": {"op": "==", "left": {"payload": {"protocol": "udp", "field": "dport"}}, "right": 3566}})";
const std::string established =
    R"({"match": {"op": "in", "left": {"ct": {"key": "state"}}, "right": ["established", "related"]}})";

const FilterVerdict accepted = FilterVerdict::Accepted;
const FilterVerdict dropped = FilterVerdict::Dropped;
const FilterVerdict unclear = FilterVerdict::Unclear;

const RulesCase rulesCases[] = {
    {"nft: no rules", Reader::Nft, R"({"nftables": [{"metainfo": {}}]})", accepted, accepted},
    {"nft: udp dport 3566 drop", Reader::Nft,
     nftRuleset("accept", {"input|[" + udp3566 + R"(, {"drop": null}])"}), dropped, dropped},
    {"nft: tcp dport 3566 drop", Reader::Nft,
     nftRuleset(
         "accept",
         {R"(input|[{"match": {"op": "==", "left": {"payload": {"protocol": "tcp", "field": "dport"}}, "right": 3566}}, {"drop": null}])"}),
     accepted, accepted},
    {"nft: meta l4proto tcp drop", Reader::Nft,
     nftRuleset(
         "accept",
         {R"(input|[{"match": {"op": "==", "left": {"meta": {"key": "l4proto"}}, "right": "tcp"}}, {"drop": null}])"}),
     accepted, accepted},
    {"nft: policy drop, established only", Reader::Nft,
     nftRuleset("drop", {"input|[" + established + R"(, {"accept": null}])"}), dropped, dropped},
    {"nft: policy drop, port range in a set accepted", Reader::Nft,
     nftRuleset(
         "drop",
         {R"(input|[{"match": {"op": "==", "left": {"payload": {"protocol": "udp", "field": "dport"}}, "right": {"set": [53, {"range": [3000, 4000]}]}}}, {"accept": null}])"}),
     accepted, accepted},
    {"nft: policy drop, accepted from one source prefix", Reader::Nft,
     nftRuleset(
         "drop",
         {R"(input|[{"match": {"op": "==", "left": {"payload": {"protocol": "ip", "field": "saddr"}}, "right": {"prefix": {"addr": "10.0.0.0", "len": 8}}}}, )" +
          udp3566 + R"(, {"accept": null}])"}),
     unclear, unclear},
    {"nft: veth* jumps to a chain that drops", Reader::Nft,
     nftRuleset(
         "accept",
         {R"(input|[{"match": {"op": "==", "left": {"meta": {"key": "iifname"}}, "right": "veth*"}}, {"jump": {"target": "sub"}}])",
          "sub|[" + udp3566 + R"(, {"reject": {"type": "icmpx"}}])"}),
     dropped, dropped},
    {"nft: eth* jumps to a chain that drops", Reader::Nft,
     nftRuleset(
         "accept",
         {R"(input|[{"match": {"op": "==", "left": {"meta": {"key": "iifname"}}, "right": "eth*"}}, {"jump": {"target": "sub"}}])",
          R"(sub|[{"drop": null}])"}),
     accepted, accepted},
    {"nft: return before the drop, accept after the jump", Reader::Nft,
     nftRuleset("drop", {R"(input|[{"jump": {"target": "sub"}}])", R"(input|[{"accept": null}])",
                         R"(sub|[{"return": null}])", R"(sub|[{"drop": null}])"}),
     accepted, accepted},
    {"nft: ct state verdict map, then policy drop", Reader::Nft,
     nftRuleset(
         "drop",
         {R"(input|[{"vmap": {"key": {"ct": {"key": "state"}}, "data": {"set": [["invalid", {"drop": null}], ["established", {"accept": null}], ["new", {"goto": {"target": "sub"}}]]}}}])",
          "sub|[" + udp3566 + R"(, {"accept": null}])"}),
     accepted, accepted},
    {"nft: broadcast to this host dropped", Reader::Nft,
     nftRuleset(
         "accept",
         {R"(input|[{"match": {"op": "==", "left": {"fib": {"result": "type", "flags": ["daddr"]}}, "right": "broadcast"}}, {"drop": null}])"}),
     accepted, dropped},
    {"iptables: no filter table", Reader::Iptables, "*nat\n:PREROUTING ACCEPT [0:0]\nCOMMIT\n",
     accepted, accepted},
    {"iptables: ufw default deny", Reader::Iptables,
     "*filter\n:INPUT DROP [0:0]\n:ufw-before-input - [0:0]\n:ufw-not-local - [0:0]\n"
     "-A INPUT -j ufw-before-input\n"
     "-A ufw-before-input -m conntrack --ctstate RELATED,ESTABLISHED -j ACCEPT\n"
     "-A ufw-before-input -p udp -m udp --sport 67 --dport 68 -j ACCEPT\n"
     "-A ufw-before-input -j ufw-not-local\n"
     "-A ufw-not-local -m addrtype --dst-type LOCAL -j RETURN\n"
     "-A ufw-not-local -m addrtype --dst-type BROADCAST -j RETURN\n"
     "-A ufw-not-local -m limit --limit 3/min -j LOG --log-prefix \"[UFW BLOCK] \"\n"
     "-A ufw-not-local -j DROP\nCOMMIT\n",
     dropped, dropped},
    {"iptables: ufw allow 3566/udp", Reader::Iptables,
     "*filter\n:INPUT DROP [0:0]\n:ufw-user-input - [0:0]\n"
     "-A INPUT -j ufw-user-input\n"
     "-A ufw-user-input -p udp -m udp --dport 3566 -j ACCEPT\nCOMMIT\n",
     accepted, accepted},
    {"iptables: multiport range rejected off loopback", Reader::Iptables,
     "*filter\n:INPUT ACCEPT [0:0]\n"
     "-A INPUT ! -i lo -p udp -m multiport --dports 53,3500:3600 -j REJECT --reject-with "
     "icmp-port-unreachable\nCOMMIT\n",
     dropped, dropped},
    {"iptables: one source network dropped", Reader::Iptables,
     "*filter\n:INPUT ACCEPT [0:0]\n-A INPUT -s 10.0.0.0/8 -j DROP\nCOMMIT\n", unclear, unclear},
    {"iptables: an ipset dropped", Reader::Iptables,
     "*filter\n:INPUT ACCEPT [0:0]\n-A INPUT -m set --match-set blocked src -j DROP\nCOMMIT\n",
     unclear, unclear},
};

class FilterRulesTest : public ::testing::TestWithParam<RulesCase>
{};

TEST_P(FilterRulesTest, ReplyVerdict)
{
    const RulesCase& rules = GetParam();
    std::vector<FilterTable> tables;
    if (rules.reader == Reader::Nft) {
        auto read = readNftRuleset(rules.rules);
        ASSERT_TRUE(std::holds_alternative<std::vector<FilterTable>>(read))
            << std::get<std::string>(read);
        tables = std::get<std::vector<FilterTable>>(read);
    } else {
        tables.push_back(readIptablesSave(rules.rules));
    }
    for (const bool broadcast : {false, true}) {
        FilterVerdict verdict = FilterVerdict::Accepted;
        std::string because;
        for (const FilterTable& table : tables) {
            const FilterFinding finding = evaluateTable(table, {"veth0a", broadcast, 4000, 3566});
            if (finding.verdict != FilterVerdict::Accepted && verdict != FilterVerdict::Dropped) {
                verdict = finding.verdict;
                because = finding.because;
            }
        }
        EXPECT_EQ(verdict, broadcast ? rules.broadcast : rules.unicast)
            << (broadcast ? "broadcast reply" : "unicast reply") << ": " << because;
    }
}

INSTANTIATE_TEST_SUITE_P(Rulesets, FilterRulesTest, ::testing::ValuesIn(rulesCases),
                         [](const auto& testCase) {
                             std::string name;
                             for (const char c : std::string(testCase.param.name))
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

TEST(FilterRulesTest, UnreadableNftOutputIsNamed)
{
    const auto read = readNftRuleset("Error: Could not process rule: Operation not permitted");
    ASSERT_TRUE(std::holds_alternative<std::string>(read));
}

} // namespace
} // namespace tavolix::doctor

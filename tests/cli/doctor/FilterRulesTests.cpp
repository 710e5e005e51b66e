// The packet-filter readers on rulesets in the forms nft -j and iptables-save
// print them: what each does with a device's reply to UDP 3566.
#include "IptablesRules.h"
#include "NftRules.h"

#include <gtest/gtest.h>
#include <variant>

namespace tavolix::doctor {
namespace {

// Pieces of nft -j output: an expression, a rule of chain "input" or "sub"
// of table "inet t", and a ruleset with input's policy.
std::string match(const std::string& left, const std::string& right, const std::string& op = "==")
{
    return R"({"match": {"op": ")" + op + R"(", "left": )" + left + R"(, "right": )" + right + "}}";
}

std::string key(const std::string& kind, const std::string& name)
{
    return R"({")" + kind + R"(": {"key": ")" + name + R"("}})";
}

std::string field(const std::string& protocol, const std::string& name)
{
    return R"({"payload": {"protocol": ")" + protocol + R"(", "field": ")" + name + R"("}})";
}

std::string rule(const std::string& chain, const std::vector<std::string>& expressions)
{
    std::string list;
    for (const std::string& expression : expressions)
        list += (list.empty() ? "" : ", ") + expression;
    return R"(, {"rule": {"family": "inet", "table": "t", "chain": ")" + chain + R"(", "expr": [)" +
           list + "]}}";
}

std::string nft(const std::string& policy, const std::vector<std::string>& rules)
{
    std::string text = R"({"nftables": [{"metainfo": {"json_schema_version": 1}},
        {"chain": {"family": "inet", "table": "t", "name": "input", "type": "filter",
        "hook": "input", "prio": 0, "policy": ")" +
                       policy +
                       R"("}}, {"chain": {"family": "inet", "table": "t", "name": "sub"}})";
    for (const std::string& one : rules)
        text += one;
    return text + "]}";
}

const std::string udp3566 = match(field("udp", "dport"), "3566");
const std::string drop = R"({"drop": null})";
const std::string accept = R"({"accept": null})";
const std::string jumpSub = R"({"jump": {"target": "sub"}})";

TEST(FilterRulesTest, ReadersGiveEachRulesetsVerdictOnUnicastAndBroadcastReplies)
{
    const auto accepted = FilterVerdict::Accepted;
    const auto dropped = FilterVerdict::Dropped;
    const auto unclear = FilterVerdict::Unclear;
    const struct
    {
        const char* name;
        std::string rules; // nft -j output when it starts with '{', else iptables-save's
        FilterVerdict unicast;
        FilterVerdict broadcast;
    } cases[] = {
        // A port dropped, and a drop policy with only established traffic
        // accepted, are read from real nft output in the doctor's tests.
        {"nft: no rules", R"({"nftables": [{"metainfo": {}}]})", accepted, accepted},
        {"nft: tcp dport 3566 drop",
         nft("accept", {rule("input", {match(field("tcp", "dport"), "3566"), drop})}), accepted,
         accepted},
        {"nft: meta l4proto tcp drop",
         nft("accept", {rule("input", {match(key("meta", "l4proto"), R"("tcp")"), drop})}),
         accepted, accepted},
        {"nft: policy drop, port range in a set accepted",
         nft("drop", {rule("input", {match(field("udp", "dport"),
                                           R"({"set": [53, {"range": [3000, 4000]}]})"),
                                     accept})}),
         accepted, accepted},
        {"nft: policy drop, accepted from one source prefix",
         nft("drop", {rule("input", {match(field("ip", "saddr"),
                                           R"({"prefix": {"addr": "10.0.0.0", "len": 8}})"),
                                     udp3566, accept})}),
         unclear, unclear},
        {"nft: veth* jumps to a chain that drops",
         nft("accept", {rule("input", {match(key("meta", "iifname"), R"("veth*")"), jumpSub}),
                        rule("sub", {udp3566, R"({"reject": {"type": "icmpx"}})"})}),
         dropped, dropped},
        {"nft: eth* jumps to a chain that drops",
         nft("accept", {rule("input", {match(key("meta", "iifname"), R"("eth*")"), jumpSub}),
                        rule("sub", {drop})}),
         accepted, accepted},
        {"nft: return before the drop, accept after the jump",
         nft("drop", {rule("input", {jumpSub}), rule("input", {accept}),
                      rule("sub", {R"({"return": null})"}), rule("sub", {drop})}),
         accepted, accepted},
        {"nft: ct state verdict map, then policy drop",
         nft("drop", {rule("input", {R"({"vmap": {"key": )" + key("ct", "state") +
                                     R"(, "data": {"set": [["invalid", {"drop": null}],
                                 ["established", {"accept": null}],
                                 ["new", {"goto": {"target": "sub"}}]]}}})"}),
                      rule("sub", {udp3566, accept})}),
         accepted, accepted},
        {"nft: broadcast to this host dropped",
         nft("accept", {rule("input", {match(R"({"fib": {"result": "type", "flags": ["daddr"]}})",
                                             R"("broadcast")"),
                                       drop})}),
         accepted, dropped},
        {"iptables: no filter table", "*nat\n:PREROUTING ACCEPT [0:0]\nCOMMIT\n", accepted,
         accepted},
        {"iptables: ufw default deny",
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
        {"iptables: ufw allow 3566/udp",
         "*filter\n:INPUT DROP [0:0]\n:ufw-user-input - [0:0]\n-A INPUT -j ufw-user-input\n"
         "-A ufw-user-input -p udp -m udp --dport 3566 -j ACCEPT\nCOMMIT\n",
         accepted, accepted},
        {"iptables: multiport range rejected off loopback",
         "*filter\n:INPUT ACCEPT [0:0]\n"
         "-A INPUT ! -i lo -p udp -m multiport --dports 53,3500:3600 -j REJECT --reject-with "
         "icmp-port-unreachable\nCOMMIT\n",
         dropped, dropped},
        {"iptables: one source network dropped",
         "*filter\n:INPUT ACCEPT [0:0]\n-A INPUT -s 10.0.0.0/8 -j DROP\nCOMMIT\n", unclear,
         unclear},
        {"iptables: an ipset dropped",
         "*filter\n:INPUT ACCEPT [0:0]\n-A INPUT -m set --match-set blocked src -j DROP\nCOMMIT\n",
         unclear, unclear},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<FilterTable> tables;
        if (c.rules.starts_with('{')) {
            auto read = readNftRuleset(c.rules);
            ASSERT_TRUE(std::holds_alternative<std::vector<FilterTable>>(read))
                << std::get<std::string>(read);
            tables = std::get<std::vector<FilterTable>>(read);
        } else {
            tables.push_back(readIptablesSave(c.rules));
        }
        ASSERT_LE(tables.size(), 1u);
        for (const bool broadcast : {false, true}) {
            const FilterFinding found =
                tables.empty() ? FilterFinding{}
                               : evaluateTable(tables[0], {"veth0a", broadcast, 4000, 3566});
            EXPECT_EQ(found.verdict, broadcast ? c.broadcast : c.unicast)
                << (broadcast ? "broadcast" : "unicast") << " reply: " << found.because;
        }
    }
    const auto unreadable =
        readNftRuleset("Error: Could not process rule: Operation not permitted");
    EXPECT_TRUE(std::holds_alternative<std::string>(unreadable));
}

} // namespace
} // namespace tavolix::doctor

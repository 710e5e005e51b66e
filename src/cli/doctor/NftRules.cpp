#include "NftRules.h"

#include <charconv>
#include <nlohmann/json.hpp>
#include <optional>

namespace tavolix::doctor {
namespace {

using nlohmann::json;

// Readers that never throw and never read past what is there: a member that
// is missing or of another type reads as null or "".
const json& member(const json& object, const char* key)
{
    static const json none;
    if (!object.is_object())
        return none;
    const auto found = object.find(key);
    return found == object.end() ? none : *found;
}

std::string text(const json& object, const char* key, const std::string& otherwise = {})
{
    const json& value = member(object, key);
    return value.is_string() ? value.get<std::string>() : otherwise;
}

// One value a packet field has, in the forms the ruleset may name it in
// ("udp" or 17, "new", a port number).
struct FieldValue
{
    enum class Kind
    {
        Port,      // a name other than a number is a service: not looked up
        Named,     // only the names (and number, where given) match
        Interface, // names with wildcards, compared with the packet's interface
    };
    Kind kind = Kind::Named;
    std::vector<std::string> names;
    std::optional<uint16_t> number;
};

FieldValue port(uint16_t number)
{
    return {FieldValue::Kind::Port, {}, number};
}

FieldValue named(std::vector<std::string> names, std::optional<uint16_t> number = std::nullopt)
{
    return {FieldValue::Kind::Named, std::move(names), number};
}

std::optional<long long> numberOf(const json& value)
{
    if (value.is_number_integer())
        return value.get<long long>();
    if (value.is_string()) {
        const std::string word = value.get<std::string>();
        long long number = 0;
        const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), number);
        if (error == std::errc() && end == word.data() + word.size())
            return number;
    }
    return std::nullopt;
}

// Whether one element of a match's right side (a value, a range, a prefix)
// holds the field's value.
Truth elementHolds(const json& element, const FieldValue& field,
                   const std::optional<std::string>& interface)
{
    if (const json& range = member(element, "range"); range.is_array() && field.number) {
        const auto low = range.size() == 2 ? numberOf(range[0]) : std::nullopt;
        const auto high = range.size() == 2 ? numberOf(range[1]) : std::nullopt;
        if (!low || !high)
            return Truth::Maybe;
        return *field.number >= *low && *field.number <= *high ? Truth::Yes : Truth::No;
    }
    if (element.is_string()) {
        const std::string word = element.get<std::string>();
        if (word.starts_with("@"))
            return Truth::Maybe; // a named set: not followed
        if (field.kind == FieldValue::Kind::Interface)
            return interfaceMatches(interface, word);
        for (const std::string& name : field.names) {
            if (name == word)
                return Truth::Yes;
        }
    }
    if (const auto number = numberOf(element); number && field.number)
        return *number == *field.number ? Truth::Yes : Truth::No;
    if (element.is_string())
        return field.kind == FieldValue::Kind::Port ? Truth::Maybe : Truth::No;
    return Truth::Maybe;
}

Truth setHolds(const json& right, const FieldValue& field,
               const std::optional<std::string>& interface)
{
    const json* elements = &right;
    if (right.is_object() && right.contains("set"))
        elements = &member(right, "set");
    if (!elements->is_array())
        return elementHolds(*elements, field, interface);
    bool maybe = false;
    for (const json& element : *elements) {
        const Truth truth = elementHolds(element, field, interface);
        if (truth == Truth::Yes)
            return Truth::Yes;
        maybe = maybe || truth == Truth::Maybe;
    }
    return maybe ? Truth::Maybe : Truth::No;
}

// The packet's value of a match's left side; nothing when it is not one we know.
std::optional<FieldValue> fieldOf(const json& left, const ReplyPacket& packet, bool& otherProtocol)
{
    otherProtocol = false;
    if (const json& payload = member(left, "payload"); !payload.is_null()) {
        const std::string protocol = text(payload, "protocol");
        const std::string field = text(payload, "field");
        if (protocol == "udp" || protocol == "th") {
            if (field == "dport")
                return port(packet.destinationPort);
            if (field == "sport")
                return port(packet.sourcePort);
            return std::nullopt;
        }
        if (protocol == "ip" && field == "protocol")
            return named({"udp"}, 17);
        // A match on another transport or IPv6 header implies that protocol.
        otherProtocol = protocol == "tcp" || protocol == "sctp" || protocol == "dccp" ||
                        protocol == "icmp" || protocol == "icmpv6" || protocol == "ip6" ||
                        protocol == "udplite" || protocol == "igmp";
        return std::nullopt;
    }
    if (const json& meta = member(left, "meta"); !meta.is_null()) {
        const std::string key = text(meta, "key");
        if (key == "l4proto")
            return named({"udp"}, 17);
        if (key == "nfproto")
            return named({"ipv4"});
        if (key == "protocol")
            return named({"ip"});
        if (key == "iifname" || key == "iif")
            return FieldValue{FieldValue::Kind::Interface, {}, std::nullopt};
        if (key == "pkttype")
            return named({packet.broadcast ? "broadcast" : "host"});
        return std::nullopt;
    }
    if (text(member(left, "ct"), "key") == "state")
        return named({"new"});
    if (const json& fib = member(left, "fib"); text(fib, "result") == "type") {
        const json& flags = member(fib, "flags");
        if (flags == json("daddr") || flags == json::array({"daddr"}))
            return named({packet.broadcast ? "broadcast" : "local"});
    }
    return std::nullopt;
}

Condition conditionOf(const json& match)
{
    return [match](const ReplyPacket& packet) {
        bool otherProtocol = false;
        const auto field = fieldOf(member(match, "left"), packet, otherProtocol);
        if (otherProtocol)
            return Truth::No;
        if (!field)
            return Truth::Maybe;
        const std::string op = text(match, "op", "==");
        const json& right = member(match, "right");
        if (op == "==" || op == "in")
            return setHolds(right, *field, packet.interface);
        if (op == "!=")
            return negated(setHolds(right, *field, packet.interface));
        const auto bound = numberOf(right);
        if (!field->number || !bound)
            return Truth::Maybe;
        const long long value = *field->number;
        if (op == "<" || op == ">" || op == "<=" || op == ">=") {
            const bool holds = op == "<"    ? value < *bound
                               : op == ">"  ? value > *bound
                               : op == "<=" ? value <= *bound
                                            : value >= *bound;
            return holds ? Truth::Yes : Truth::No;
        }
        return Truth::Maybe;
    };
}

// A short reading of an expression for the report: "udp dport == 3566".
std::string describe(const json& expression)
{
    if (expression.contains("match")) {
        const json& match = member(expression, "match");
        // "udp dport", "meta iifname", "ct state", "fib type"
        std::string left;
        for (const auto& [key, value] : member(match, "left").items()) {
            left = key == "payload" ? "" : key;
            for (const char* part : {"protocol", "field", "key", "result"}) {
                if (value.is_object() && value.contains(part) && value[part].is_string())
                    left += (left.empty() ? "" : " ") + value[part].get<std::string>();
            }
        }
        return left + " " + text(match, "op", "==") + " " + member(match, "right").dump();
    }
    if (expression.is_object() && !expression.empty()) {
        const auto first = expression.begin();
        for (const char* part : {"target", "name"}) {
            if (const json& named = member(first.value(), part); !named.is_null())
                return first.key() + " " + named.dump();
        }
        return first.key();
    }
    return expression.dump();
}

Action verdictAction(const std::string& name)
{
    if (name == "accept")
        return Action::Accept;
    if (name == "drop" || name == "reject")
        return Action::Drop;
    if (name == "jump")
        return Action::Jump;
    if (name == "goto")
        return Action::Goto;
    if (name == "return")
        return Action::Return;
    if (name == "queue")
        return Action::Unknown;
    return Action::None;
}

// A verdict map becomes one rule per entry, each with the key's value as an
// extra condition; a map by name cannot be followed.
void addVerdictMap(FilterChain& chain, const FilterRule& head, const json& vmap)
{
    const json& entries = member(member(vmap, "data"), "set");
    if (!entries.is_array()) {
        FilterRule rule = head;
        rule.action = Action::Unknown;
        chain.rules.push_back(rule);
        return;
    }
    for (const json& entry : entries) {
        if (!entry.is_array() || entry.size() != 2 || !entry[1].is_object() || entry[1].empty())
            continue;
        FilterRule rule = head;
        rule.conditions.push_back(conditionOf(
            json{{"op", "=="}, {"left", member(vmap, "key")}, {"right", json::array({entry[0]})}}));
        const auto verdict = entry[1].begin();
        rule.action = verdictAction(verdict.key());
        rule.target = text(verdict.value(), "target");
        rule.text += " (" + entry[0].dump() + ": " + verdict.key() + ")";
        chain.rules.push_back(std::move(rule));
    }
}

void addRule(FilterChain& chain, const std::string& where, const json& expressions)
{
    FilterRule rule;
    rule.text = where + ":";
    for (const json& expression : expressions) {
        if (!expression.contains("counter"))
            rule.text += " " + describe(expression);
    }
    for (const json& expression : expressions) {
        if (!expression.is_object() || expression.empty())
            continue;
        if (expression.contains("match")) {
            rule.conditions.push_back(conditionOf(member(expression, "match")));
        } else if (expression.contains("vmap")) {
            addVerdictMap(chain, rule, member(expression, "vmap"));
            return;
        } else if (expression.contains("xt")) {
            // iptables-nft's compat extensions: a match it could not say
            // natively, or a target such as REJECT.
            const json& xt = member(expression, "xt");
            if (text(xt, "type") != "target") {
                rule.conditions.push_back([](const ReplyPacket&) { return Truth::Maybe; });
            } else if (text(xt, "name") == "REJECT") {
                rule.action = Action::Drop;
                break;
            }
        } else {
            const auto statement = expression.begin();
            const Action action = verdictAction(statement.key());
            if (action == Action::None)
                continue;
            rule.action = action;
            rule.target = text(statement.value(), "target");
            break; // a verdict ends the rule
        }
    }
    chain.rules.push_back(std::move(rule));
}

std::string tableKey(const json& object)
{
    return text(object, "family") + " " + text(object, "table", text(object, "name"));
}

bool ipv4Family(const json& object)
{
    const std::string family = text(object, "family");
    return family == "ip" || family == "inet";
}

} // namespace

Result<std::vector<FilterTable>> readNftRuleset(const std::string& output)
{
    const json document = json::parse(output, nullptr, false);
    const json& items = member(document, "nftables");
    if (!items.is_array())
        return incomplete("nft printed no ruleset that could be read");

    std::map<std::string, FilterTable> tables;
    for (const json& item : items) {
        if (const json& chain = member(item, "chain"); ipv4Family(chain)) {
            FilterTable& table = tables[tableKey(chain)];
            table.name = tableKey(chain);
            const std::string name = text(chain, "name");
            FilterChain& target = table.chains[name];
            if (text(chain, "hook") == "input" && text(chain, "type", "filter") == "filter") {
                table.inputChains.push_back(name);
                target.dropPolicy = text(chain, "policy") == "drop";
            }
        } else if (const json& rule = member(item, "rule"); ipv4Family(rule)) {
            FilterTable& table = tables[tableKey(rule)];
            const std::string chainName = text(rule, "chain");
            addRule(table.chains[chainName], tableKey(rule) + " " + chainName,
                    member(rule, "expr"));
        }
    }
    std::vector<FilterTable> result;
    for (auto& [key, table] : tables) {
        if (!table.inputChains.empty())
            result.push_back(std::move(table));
    }
    return result;
}

} // namespace tavolix::doctor

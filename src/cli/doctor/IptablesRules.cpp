#include "IptablesRules.h"

#include <charconv>
#include <set>
#include <sstream>

namespace tavolix::doctor {
namespace {

// Splits a rule line into words; "double quoted" comments stay one word.
std::vector<std::string> wordsOf(const std::string& line)
{
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    bool inWord = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (c == '\\' && quoted && i + 1 < line.size()) {
            word += line[++i];
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

std::optional<uint16_t> portNumber(std::string_view text)
{
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value > 65535)
        return std::nullopt;
    return static_cast<uint16_t>(value);
}

// "3566", "3000:4000" or, for multiport, "53,3566,5000:5010".
Truth portListHolds(uint16_t port, const std::string& list)
{
    std::stringstream items(list);
    std::string item;
    bool maybe = false;
    while (std::getline(items, item, ',')) {
        const std::size_t colon = item.find(':');
        const auto low = portNumber(item.substr(0, colon));
        const auto high = colon == std::string::npos ? low : portNumber(item.substr(colon + 1));
        if (!low || !high)
            maybe = true; // a service name
        else if (portMatches(port, *low, *high) == Truth::Yes)
            return Truth::Yes;
    }
    return maybe ? Truth::Maybe : Truth::No;
}

Truth listHasWord(const std::string& list, const std::set<std::string>& words)
{
    std::stringstream items(list);
    std::string item;
    while (std::getline(items, item, ',')) {
        if (words.contains(item))
            return Truth::Yes;
    }
    return Truth::No;
}

Condition constant(Truth truth)
{
    return [truth](const ReplyPacket&) { return truth; };
}

// The condition an option and its value set; Maybe for options not known here.
Condition conditionOf(const std::string& option, const std::string& value)
{
    if (option == "-p" || option == "--protocol")
        return constant(value == "udp" || value == "17" || value == "all" ? Truth::Yes : Truth::No);
    if (option == "-i" || option == "--in-interface")
        return [value](const ReplyPacket& p) { return interfaceMatches(p.interface, value); };
    if (option == "--dport" || option == "--destination-port" || option == "--dports" ||
        option == "--destination-ports")
        return [value](const ReplyPacket& p) { return portListHolds(p.destinationPort, value); };
    if (option == "--sport" || option == "--source-port" || option == "--sports" ||
        option == "--source-ports")
        return [value](const ReplyPacket& p) { return portListHolds(p.sourcePort, value); };
    if (option == "--ctstate" || option == "--state")
        return constant(listHasWord(value, {"NEW"}));
    if (option == "--dst-type")
        return [value](const ReplyPacket& p) {
            return listHasWord(value, {p.broadcast ? "BROADCAST" : "LOCAL"});
        };
    if (option == "--pkt-type")
        return [value](const ReplyPacket& p) {
            return value == (p.broadcast ? "broadcast" : "host") ? Truth::Yes : Truth::No;
        };
    if (option == "--comment" || option == "--limit" || option == "--limit-burst")
        return constant(Truth::Yes);
    return constant(Truth::Maybe);
}

// Options that take no value.
bool isFlag(const std::string& option)
{
    return option == "-f" || option == "--fragment" || option == "--syn";
}

FilterRule ruleOf(const std::vector<std::string>& words, const std::set<std::string>& chains,
                  const std::string& line)
{
    FilterRule rule;
    rule.text = line;
    bool negate = false;
    for (std::size_t i = 2; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "!") {
            negate = true;
            continue;
        }
        if (word == "-m" || word == "--match") {
            ++i; // the module's own options follow and are read one by one
            continue;
        }
        if (word == "-j" || word == "--jump" || word == "-g" || word == "--goto") {
            const std::string target = i + 1 < words.size() ? words[i + 1] : "";
            if (target == "ACCEPT")
                rule.action = Action::Accept;
            else if (target == "DROP" || target == "REJECT")
                rule.action = Action::Drop;
            else if (target == "RETURN")
                rule.action = Action::Return;
            else if (target == "QUEUE" || target == "NFQUEUE")
                rule.action = Action::Unknown;
            else if (chains.contains(target))
                rule.action = word == "-g" || word == "--goto" ? Action::Goto : Action::Jump;
            rule.target = target;
            break; // what follows are the target's options
        }
        if (!word.starts_with("-")) {
            continue; // a further value of the option before, as in --match-set NAME src
        }
        if (isFlag(word)) {
            rule.conditions.push_back(constant(Truth::Maybe));
            negate = false;
            continue;
        }
        const std::string value = i + 1 < words.size() ? words[++i] : "";
        Condition condition = conditionOf(word, value);
        if (negate)
            condition = [inner = std::move(condition)](const ReplyPacket& p) {
                return negated(inner(p));
            };
        rule.conditions.push_back(std::move(condition));
        negate = false;
    }
    return rule;
}

} // namespace

FilterTable readIptablesSave(const std::string& text)
{
    FilterTable table;
    table.name = "iptables filter";
    table.inputChains.push_back("INPUT");
    table.chains["INPUT"];

    std::stringstream lines(text);
    std::string line;
    std::string current;
    std::set<std::string> chains;
    while (std::getline(lines, line)) {
        if (line.starts_with("*")) {
            current = line.substr(1);
            continue;
        }
        if (current != "filter")
            continue;
        const std::vector<std::string> words = wordsOf(line);
        if (line.starts_with(":") && words.size() >= 2) {
            const std::string name = words[0].substr(1);
            chains.insert(name);
            table.chains[name].dropPolicy = words[1] == "DROP";
        } else if (words.size() >= 2 && words[0] == "-A") {
            table.chains[words[1]].rules.push_back(ruleOf(words, chains, line));
        }
    }
    return table;
}

} // namespace tavolix::doctor

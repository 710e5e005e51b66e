#pragma once

#include "Ports.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tavolix::doctor {

// A device's reply as the packet filter sees it: IPv4 UDP from the devices'
// port to ours (or a probe's answer from the discovery port to the probe's),
// a new flow (a broadcast or multicast request leaves no connection that a
// reply from the device's own address could match), arriving on one
// interface, sent to our own address or broadcast.
struct ReplyPacket
{
    std::optional<std::string> interface; // nothing: not known
    bool broadcast = false;
    uint16_t sourcePort = devicePort;
    uint16_t destinationPort = searchPort;
};

// Whether a rule's condition holds for a packet. Maybe where it depends on
// something the packet facts leave open (a sender address, a named set).
enum class Truth
{
    No,
    Maybe,
    Yes,
};

Truth allOf(const std::vector<Truth>& truths);

enum class Action
{
    None,   // counter, log and the like: the walk goes on
    Accept, // leaves this base chain
    Drop,   // drop and reject alike: the reply is lost
    Jump,
    Goto,
    Return,
    Unknown, // a verdict the evaluation does not follow (queue, a verdict map it cannot read)
};

using Condition = std::function<Truth(const ReplyPacket&)>;

struct FilterRule
{
    std::vector<Condition> conditions;
    Action action = Action::None;
    std::string target; // the chain of a jump or goto
    std::string text;   // how the rule reads, for the report
};

struct FilterChain
{
    std::vector<FilterRule> rules;
    bool dropPolicy = false; // base chains only
};

// The chains of one table, and which of them are hooked to the input path.
struct FilterTable
{
    std::string name; // "inet filter", "iptables filter"
    std::map<std::string, FilterChain> chains;
    std::vector<std::string> inputChains;
};

enum class FilterVerdict
{
    Accepted,
    Dropped,
    Unclear,
};

struct FilterFinding
{
    FilterVerdict verdict = FilterVerdict::Accepted;
    std::string because; // the dropping rule or policy; for Unclear, the rule that may drop
};

// What the input chains of a table do with the packet. The walk is done
// twice: once taking every uncertain drop and no uncertain accept, once the
// other way round. Accepted when even the first accepts, Dropped when even
// the second drops, otherwise Unclear.
FilterFinding evaluateTable(const FilterTable& table, const ReplyPacket& packet);

// Condition helpers shared by the readers.
Truth portMatches(uint16_t port, uint16_t low, uint16_t high);
// An interface name pattern; a trailing '*' (nftables) or '+' (iptables)
// matches any suffix.
Truth interfaceMatches(const std::optional<std::string>& interface, const std::string& pattern);
Truth negated(Truth truth);

} // namespace tavolix::doctor

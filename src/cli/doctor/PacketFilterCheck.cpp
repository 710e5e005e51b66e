#include "PacketFilterCheck.h"

#include "IptablesRules.h"
#include "NftRules.h"
#include "ProgramOutput.h"

#include <variant>

namespace tavolix::doctor {
namespace {

struct RuleSource
{
    std::vector<FilterTable> tables;
    std::vector<std::string> problems; // sources installed but not readable
    std::vector<std::string> read;     // "nftables", "iptables"
};

std::string firstLine(const std::string& text)
{
    const std::string line = text.substr(0, text.find('\n'));
    return line.empty() ? "no message" : line;
}

// The program's output, or a problem noted: nothing when it is not installed.
std::optional<std::string> outputOf(const std::string& program,
                                    const std::vector<std::string>& arguments, RuleSource& source)
{
    const std::string path = findProgram(program);
    if (path.empty())
        return std::nullopt;
    std::vector<std::string> command{path};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const auto result = runProgram(command);
    if (!result) {
        source.problems.push_back(program + " could not be started");
        return std::nullopt;
    }
    if (result->exitCode != 0) {
        source.problems.push_back(program + ": " + firstLine(result->errors));
        return std::nullopt;
    }
    return result->output;
}

RuleSource readRules()
{
    RuleSource source;
    if (const auto json = outputOf("nft", {"-j", "list", "ruleset"}, source)) {
        if (const auto tables = readNftRuleset(*json)) {
            source.tables.insert(source.tables.end(), tables->begin(), tables->end());
            source.read.push_back("nftables");
        } else {
            source.problems.push_back(tables.failure().message);
        }
    }
    if (const auto text = outputOf("iptables-save", {}, source)) {
        source.tables.push_back(readIptablesSave(*text));
        source.read.push_back("iptables");
    }
    return source;
}

std::string joined(const std::vector<std::string>& words, const std::string& separator)
{
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : separator) + word;
    return text;
}

} // namespace

DoctorCheck checkPacketFilter(const DoctorOptions& options,
                              const std::vector<LocalInterface>& interfaces)
{
    DoctorCheck check{"packet filter", Verdict::Unknown, {}};
    const RuleSource source = readRules();
    if (source.read.empty()) {
        check.detail = "could not tell: " + (source.problems.empty()
                                                 ? std::string("neither nft nor iptables-save "
                                                               "is installed")
                                                 : joined(source.problems, "; "));
        return check;
    }

    std::vector<std::optional<std::string>> names;
    for (const LocalInterface& local : interfaces) {
        if (local.usable())
            names.emplace_back(local.name);
    }
    if (names.empty())
        names.emplace_back(std::nullopt);

    // Our devices answer from their port to ours, unicast or broadcast; ONVIF
    // devices answer a probe unicast, from the discovery port to the port the
    // probe left from. A drop of either fails the check.
    struct Expected
    {
        bool broadcast;
        uint16_t from;
        uint16_t to;
        const char* what;
    };
    std::vector<Expected> expected;
    std::vector<std::string> ports;
    if (options.native) {
        expected.push_back({false, options.devicePort, options.localPort, "replies"});
        expected.push_back({true, options.devicePort, options.localPort, "broadcast replies"});
        ports.push_back("replies to UDP " + std::to_string(options.localPort));
    }
    if (options.probes) {
        expected.push_back(
            {false, options.probes->discoveryPort, options.probes->answerPort, "probe answers"});
        ports.push_back("probe answers to UDP " + std::to_string(options.probes->answerPort));
    }
    const std::string port = joined(ports, " and ");
    std::optional<std::string> unclear;
    for (const auto& name : names) {
        for (const Expected& reply : expected) {
            const ReplyPacket packet{name, reply.broadcast, reply.from, reply.to};
            const std::string what = std::string(reply.what) + " to UDP " +
                                     std::to_string(reply.to) +
                                     (name ? " on " + *name : std::string());
            for (const FilterTable& table : source.tables) {
                const FilterFinding finding = evaluateTable(table, packet);
                if (finding.verdict == FilterVerdict::Dropped) {
                    check.verdict = Verdict::Fail;
                    check.detail = "drops " + what + " (" + finding.because + ")";
                    return check;
                }
                if (finding.verdict == FilterVerdict::Unclear && !unclear)
                    unclear =
                        "may drop " + what + ", depending on the sender (" + finding.because + ")";
            }
        }
    }
    if (unclear) {
        check.detail = "could not tell: " + *unclear;
    } else if (!source.problems.empty()) {
        check.detail = "could not tell: " + joined(source.read, " and ") + " let " + port +
                       " in, but " + joined(source.problems, "; ");
    } else {
        check.verdict = Verdict::Pass;
        check.detail = joined(source.read, " and ") + " let " + port + " in";
    }
    return check;
}

} // namespace tavolix::doctor

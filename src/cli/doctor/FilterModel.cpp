#include "FilterModel.h"

#include <algorithm>

namespace tavolix::doctor {
namespace {

// Deep enough for firewalld's zone chains; a loop of jumps ends here.
constexpr int maxJumpDepth = 16;

enum class Stance
{
    Pessimistic, // uncertain drops are taken, uncertain accepts are not
    Optimistic,
};

enum class Flow
{
    Continue,
    Accept,
    Drop,
};

struct WalkResult
{
    Flow flow = Flow::Continue;
    std::string because;
};

class Walker final
{
public:
    Walker(const FilterTable& table, const ReplyPacket& packet, Stance stance)
        : m_table(table), m_packet(packet), m_stance(stance)
    {}

    WalkResult walkChain(const std::string& name, int depth) const
    {
        const auto chain = m_table.chains.find(name);
        if (chain == m_table.chains.end() || depth > maxJumpDepth)
            return uncertain("chain " + name + " cannot be followed");
        for (const FilterRule& rule : chain->second.rules) {
            const Truth truth = allOf(evaluate(rule.conditions));
            if (truth == Truth::No || rule.action == Action::None)
                continue;
            const bool certain = truth == Truth::Yes;
            switch (rule.action) {
            case Action::Accept:
                if (certain || m_stance == Stance::Optimistic)
                    return {Flow::Accept, rule.text};
                break;
            case Action::Drop:
                if (certain || m_stance == Stance::Pessimistic)
                    return {Flow::Drop, rule.text};
                break;
            case Action::Unknown:
                return uncertain(rule.text);
            case Action::Return:
                if (certain || m_stance == Stance::Optimistic)
                    return {};
                break;
            case Action::Jump:
            case Action::Goto: {
                const WalkResult inner = walkChain(rule.target, depth + 1);
                if (certain) {
                    if (inner.flow != Flow::Continue || rule.action == Action::Goto)
                        return inner;
                } else if (leansOurWay(inner.flow)) {
                    return inner;
                }
                break;
            }
            case Action::None:
                break;
            }
        }
        return {};
    }

    WalkResult walkBaseChain(const std::string& name) const
    {
        WalkResult result = walkChain(name, 0);
        if (result.flow == Flow::Continue) {
            const auto chain = m_table.chains.find(name);
            if (chain != m_table.chains.end() && chain->second.dropPolicy)
                return {Flow::Drop, m_table.name + " " + name + ": policy drop"};
            result.flow = Flow::Accept;
        }
        return result;
    }

private:
    std::vector<Truth> evaluate(const std::vector<Condition>& conditions) const
    {
        std::vector<Truth> truths;
        truths.reserve(conditions.size());
        for (const Condition& condition : conditions)
            truths.push_back(condition(m_packet));
        return truths;
    }

    // An uncertain outcome is taken in the direction this walk leans.
    bool leansOurWay(Flow flow) const
    {
        return (m_stance == Stance::Pessimistic && flow == Flow::Drop) ||
               (m_stance == Stance::Optimistic && flow == Flow::Accept);
    }

    WalkResult uncertain(const std::string& because) const
    {
        return {m_stance == Stance::Pessimistic ? Flow::Drop : Flow::Accept, because};
    }

    const FilterTable& m_table;
    const ReplyPacket& m_packet;
    Stance m_stance;
};

} // namespace

Truth allOf(const std::vector<Truth>& truths)
{
    if (std::find(truths.begin(), truths.end(), Truth::No) != truths.end())
        return Truth::No;
    if (std::find(truths.begin(), truths.end(), Truth::Maybe) != truths.end())
        return Truth::Maybe;
    return Truth::Yes;
}

Truth negated(Truth truth)
{
    switch (truth) {
    case Truth::No:
        return Truth::Yes;
    case Truth::Yes:
        return Truth::No;
    case Truth::Maybe:
        break;
    }
    return Truth::Maybe;
}

Truth portMatches(uint16_t port, uint16_t low, uint16_t high)
{
    return port >= low && port <= high ? Truth::Yes : Truth::No;
}

Truth interfaceMatches(const std::optional<std::string>& interface, const std::string& pattern)
{
    if (!interface)
        return Truth::Maybe;
    if (!pattern.empty() && (pattern.back() == '*' || pattern.back() == '+'))
        return interface->starts_with(pattern.substr(0, pattern.size() - 1)) ? Truth::Yes
                                                                             : Truth::No;
    return *interface == pattern ? Truth::Yes : Truth::No;
}

// Every base chain on the input hook sees the packet: an accept in one does
// not spare it the others, a drop in any of them is final.
FilterFinding evaluateTable(const FilterTable& table, const ReplyPacket& packet)
{
    const Walker pessimist(table, packet, Stance::Pessimistic);
    const Walker optimist(table, packet, Stance::Optimistic);
    std::optional<std::string> mayDrop;
    for (const std::string& chain : table.inputChains) {
        const WalkResult surely = optimist.walkBaseChain(chain);
        if (surely.flow == Flow::Drop)
            return {FilterVerdict::Dropped, surely.because};
        const WalkResult perhaps = pessimist.walkBaseChain(chain);
        if (perhaps.flow == Flow::Drop && !mayDrop)
            mayDrop = perhaps.because;
    }
    if (mayDrop)
        return {FilterVerdict::Unclear, *mayDrop};
    return {};
}

} // namespace tavolix::doctor

#include "Verification.h"

#include <algorithm>
#include <string>

namespace tavolix {
namespace {

constexpr std::chrono::seconds roundLength{1};

} // namespace

std::vector<Setting> VerificationTarget::unverified() const
{
    return lastSeen ? differingSettings(*lastSeen, asked) : asked.given();
}

void verifyTogether(DeviceProtocol& protocol, std::vector<VerificationTarget>& targets,
                    std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    std::size_t open = static_cast<std::size_t>(
        std::count_if(targets.begin(), targets.end(), [](const auto& t) { return !t.done(); }));
    while (open > 0 && Clock::now() < deadline) {
        // A lost round only costs time: the next one tries again.
        static_cast<void>(protocol.searchAgain());
        const auto roundEnd = std::min(Clock::now() + roundLength, deadline);
        protocol.collect(roundEnd, [&](const Device& device) {
            const auto target =
                std::find_if(targets.begin(), targets.end(),
                             [&](const VerificationTarget& t) { return t.mac == device.mac; });
            if (target == targets.end() || target->done())
                return false;
            target->lastSeen = device;
            target->readBack = true;
            target->verified = target->unverified().empty();
            if (target->done())
                --open;
            return open == 0;
        });
        // A round ends early only when everything is verified; otherwise
        // collect has waited out the second before the next search.
    }
}

} // namespace tavolix

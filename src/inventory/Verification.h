#pragma once

#include "DeviceProtocol.h"
#include "Settings.h"

#include <chrono>
#include <optional>
#include <vector>

namespace tavolix {

// One device whose asked settings are to be read back.
struct VerificationTarget
{
    // What is waited for: the asked settings; one reply, after a change that
    // failed midway (what the device holds now); or nothing.
    enum class Wait
    {
        Asked,
        ReadBack,
        Nothing,
    };

    MacAddress mac{};
    DeviceSettings asked;
    std::optional<Device> lastSeen; // its latest reply, if any came
    bool verified = false;          // read back as asked
    Wait wait = Wait::Asked;
    bool readBack = false; // lastSeen came after the change

    bool done() const
    {
        return verified || wait == Wait::Nothing || (wait == Wait::ReadBack && readBack);
    }

    // The asked settings the latest reply does not show (all of them when no
    // reply came).
    std::vector<Setting> unverified() const;
};

// Searches again once a second, all targets sharing each round, until every
// target reads back as asked or the time is up. Devices are matched by MAC,
// whatever address they answer from by then.
void verifyTogether(DeviceProtocol& protocol, std::vector<VerificationTarget>& targets,
                    std::chrono::milliseconds timeout);

} // namespace tavolix

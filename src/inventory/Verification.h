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
    MacAddress mac{};
    DeviceSettings asked;
    std::optional<Device> lastSeen; // its latest reply, if any came
    bool verified = false;

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

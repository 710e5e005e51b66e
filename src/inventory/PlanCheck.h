#pragma once

#include "Device.h"
#include "DeviceProtocol.h"
#include "Settings.h"

#include <string>
#include <vector>

namespace tavolix {

// One device's line of a plan: the settings it asks for (empty cells keep).
struct PlanRow
{
    int row = 0; // its row in the file, the header being row 1
    MacAddress mac{};
    DeviceSettings asked;
    std::string hosts; // the host cell: which segment hosts may apply it, by name, joined by ','
};

struct PlanVerdict
{
    std::vector<PlanRow> rows;         // as the protocols would send them
    std::vector<std::string> errors;   // any of them: nothing is sent
    std::vector<std::string> warnings; // said, but the plan goes ahead
};

// Checks a whole plan against the devices a search found: unknown MACs, two
// rows for one MAC, a MAC two devices answer with, two devices ending with one IP, a planned IP
// that a device outside the plan holds, what the protocol that would carry a device's change
// refuses (checkChange), and (as a warning) a gateway outside the planned subnet.
PlanVerdict checkPlan(const std::vector<PlanRow>& rows, const std::vector<Device>& found,
                      const DeviceProtocol& protocol, const ChangeOptions& options);

} // namespace tavolix

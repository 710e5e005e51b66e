#pragma once

#include "DeviceRecord.h"

#include <string>

namespace tavolix {

// How a device's four network-mode bytes read. The summary word needs both
// bytes of a pair to be on; the radio buttons look at the first byte only, so
// the two may disagree (01 FF FF FF reads STATIC but checks PPPoE).
enum class ModeChoice
{
    Pppoe,
    Dhcp,
    Static
};

ModeChoice summaryMode(const DeviceRecord& record);
ModeChoice radioMode(const DeviceRecord& record);

// The two-line summary: "IP Get:" with the mode word, then "V:" with the version.
std::string summaryText(const DeviceRecord& record);

// The address of the device's web page: no port for port 80, else with the
// port and a closing slash.
std::string devicePageAddress(const DeviceRecord& record);

} // namespace tavolix

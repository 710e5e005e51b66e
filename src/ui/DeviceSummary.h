#pragma once

#include "DeviceRecord.h"

#include <string>

namespace tavolix {

// The mode word of the summary. It needs both bytes of a pair to be on,
// where the choice buttons (chosenAddressMode) look at the first byte only, so
// the two may disagree: 01 FF FF FF reads STATIC but checks PPPoE.
AddressMode summaryMode(const DeviceRecord& record);

// The two-line summary: "IP Get:" with the mode word, then "V:" with the version.
std::string summaryText(const DeviceRecord& record);

// The address of the device's web page: no port for port 80, else with the
// port and a closing slash.
std::string devicePageAddress(const DeviceRecord& record);

} // namespace tavolix

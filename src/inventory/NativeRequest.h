#pragma once

#include "ConfigurationRequest.h"
#include "DeviceRecord.h"
#include "DeviceText.h"
#include "Result.h"
#include "Settings.h"

namespace tavolix {

// The configuration request for the device as stored, with the asked
// values, as the window's Submit would compose it; refused with the
// composer's reason. Asked names and accounts are in the device's encoding
// (checkNativeChange's), read back in page. The address mode is always
// sent: the asked one, else the one the device is in.
Result<RequestBuffer> composeRequest(const DeviceRecord& device, const DeviceSettings& asked,
                                     const ConfigurationLogin& login, LegacyCodePage page);

} // namespace tavolix

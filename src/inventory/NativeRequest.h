#pragma once

#include "ConfigurationRequest.h"
#include "DeviceRecord.h"
#include "DeviceText.h"
#include "Result.h"
#include "Settings.h"

namespace tavolix {

// The configuration request for the device as stored, with the asked values
// and the address mode it is to end in, as the window's Submit would compose
// it; refused with the composer's reason. Asked names and accounts are in
// the device's encoding (inDeviceEncoding), read back in page.
Result<RequestBuffer> composeRequest(const DeviceRecord& device, const SettingValues& asked,
                                     AddressMode mode, const ConfigurationLogin& login,
                                     LegacyCodePage page);

} // namespace tavolix

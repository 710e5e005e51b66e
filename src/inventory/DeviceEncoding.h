#pragma once

#include "DeviceText.h"
#include "Settings.h"

namespace tavolix {

// The asked name and PPPoE account in the bytes the device will store: text
// typed as UTF-8 goes into the encoding the device's own text is in, as the
// window writes it; bytes that are not UTF-8 (a plan's \xHH escapes) are the
// device's own already. Every other setting is left as asked. Refused when
// the code page cannot write a character or the text no longer fits once
// encoded. A device reached only over ONVIF takes the text as given.
Result<SettingValues> inDeviceEncoding(const Device& device, const SettingValues& asked,
                                       LegacyCodePage page);

} // namespace tavolix

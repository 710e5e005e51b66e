#pragma once

#include "DeviceProtocol.h"

namespace tavolix::onvif {

// What ONVIF carries, for OnvifProtocol::checkChange: names in UTF-8 as
// given, as long as the camera takes (it says so itself when it does not:
// a read name is never refused back); no PPPoE, and no code page.
Result<DeviceSettings> checkOnvifChange(const Device& device, const DeviceSettings& asked,
                                        const ChangeOptions& options);

} // namespace tavolix::onvif

#pragma once

#include "ConfigurationRequest.h"
#include "DeviceRecord.h"
#include "DeviceText.h"
#include "Settings.h"

#include <optional>
#include <string>

namespace tavolix::cli {

using Login = ConfigurationLogin;

// The configuration request for the device with the asked values, as the
// window's Submit would compose it; nothing, with the refusal's text in
// problem, when it refuses one. Asked names and accounts are in the
// device's encoding (inDeviceEncoding), read back in page.
std::optional<RequestBuffer> composeRequest(const DeviceRecord& device, const SettingValues& asked,
                                            const Login& login, LegacyCodePage page,
                                            std::string& problem);

} // namespace tavolix::cli

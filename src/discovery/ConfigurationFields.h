#pragma once

#include "ConfigurationRequest.h"

#include <optional>
#include <string>

namespace tavolix {

// The window's configuration fields, texts as typed.
struct ConfigurationFields
{
    std::optional<std::string> mac; // read only while the MAC field is shown
    std::string name;
    std::string pppoeAccount;
    std::string pppoePassword;
    std::string ipAddress;
    std::string subnetMask;
    std::string gateway;
    std::string httpPort;
    bool pppoe = false;
    bool dhcp = false;
};

// The fields as the settings they ask the device for. An address whose text
// still shows the stored one, or a port that still reads as the stored
// number, is kept; any other must parse, or the whole is refused with the
// error box's text ("Invalid IP address !!", "Invalid HTTP port !!", ...):
// a mistyped value is never dropped, since the rest alone would then be
// applied unasked. Texts are handed on as typed.
Result<AskedSettings> askedSettingsFrom(const ConfigurationFields& fields,
                                        const DeviceRecord& device);

} // namespace tavolix

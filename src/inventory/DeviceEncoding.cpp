#include "DeviceEncoding.h"

#include "Datagram.h"

namespace tavolix {

Result<SettingValues> inDeviceEncoding(const Device& device, const SettingValues& asked,
                                       LegacyCodePage page)
{
    SettingValues encoded = asked;
    if (!speaks(device, Protocols::Native))
        return encoded; // ONVIF carries names in UTF-8, as typed
    for (const Setting setting : {Setting::Name, Setting::PppoeAccount}) {
        const auto value = encoded.find(setting);
        // Bytes that are not UTF-8 as a whole are the device's own already.
        if (value == encoded.end() || deviceTextToUtf8(value->second, page) != value->second)
            continue;
        const std::string stored = currentValue(device, setting);
        const std::size_t capacity =
            valueSize(setting == Setting::Name ? Tag::Name : Tag::PppoeAccount);
        const auto bytes = utf8ToDeviceText(value->second, stored, page, capacity);
        const std::string key(settingKey(setting));
        if (!bytes)
            return refused(key + ": holds characters that the device's encoding cannot store");
        if (deviceTextToUtf8(*bytes, page) != value->second)
            return refused(key + ": does not fit in " + std::to_string(capacity) +
                           " bytes in the device's encoding");
        value->second = *bytes;
    }
    return encoded;
}

} // namespace tavolix

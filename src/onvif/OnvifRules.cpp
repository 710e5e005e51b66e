#include "OnvifRules.h"

namespace tavolix::onvif {

Result<DeviceSettings> checkOnvifChange(const Device& device, const DeviceSettings& asked,
                                        const ChangeOptions& options)
{
    std::vector<std::string> refusals;
    if (options.codePage)
        refusals.push_back("a code page was given, but an ONVIF device keeps its name in UTF-8");
    for (std::string& refusal : settingRefusals(device, asked))
        refusals.push_back(std::move(refusal));
    for (const Setting setting : differingSettings(device, asked)) {
        const std::string key(settingKey(setting));
        const bool utf8 = !asked.name ||
                          deviceTextToUtf8(*asked.name, LegacyCodePage::Windows1252) == *asked.name;
        if (setting == Setting::PppoeAccount ||
            (setting == Setting::Mode && asked.mode == AddressMode::Pppoe))
            refusals.push_back(key + ": ONVIF has no place for PPPoE");
        else if (setting == Setting::Name && !utf8)
            refusals.push_back(key + ": is not UTF-8, the only encoding ONVIF carries");
    }
    // A read interface that lists no IPv4 address leaves the mask unknown: a new address would
    // go out with prefix length 0.
    const DeviceSettings result = resultingSettings(device, asked);
    const bool addressSent = asked.ip || asked.mode == AddressMode::Static;
    if (device.settingsRead && addressSent && result.mode != AddressMode::Dhcp && *result.mask == 0)
        refusals.push_back("mask: the device lists no IPv4 address to keep the mask of; give "
                           "the mask too");
    if (refusals.empty())
        return asked;
    return refused(refusals);
}

} // namespace tavolix::onvif

#include "NativeRequest.h"

namespace tavolix {

Result<RequestBuffer> composeRequest(const DeviceRecord& device, const SettingValues& asked,
                                     AddressMode mode, const ConfigurationLogin& login,
                                     LegacyCodePage page)
{
    const auto given = [&asked](Setting setting) -> std::optional<std::string> {
        const auto value = asked.find(setting);
        return value != asked.end() ? std::optional(value->second) : std::nullopt;
    };
    const auto asText = [&](Setting setting) -> std::optional<std::string> {
        const auto bytes = given(setting);
        return bytes ? std::optional(deviceTextToUtf8(*bytes, page)) : std::nullopt;
    };
    ConfigurationInput input{.device = device, .asked = {}, .login = login, .codePage = page};
    input.asked.name = asText(Setting::Name);
    input.asked.pppoeAccount = asText(Setting::PppoeAccount);
    input.asked.ipAddress = given(Setting::Ip);
    input.asked.subnetMask = given(Setting::Mask);
    input.asked.gateway = given(Setting::Gateway);
    input.asked.httpPort = given(Setting::HttpPort);
    input.asked.pppoe = mode == AddressMode::Pppoe;
    input.asked.dhcp = mode == AddressMode::Dhcp;

    ComposedConfiguration composed = composeConfigurationRequest(input);
    if (const auto* refusal = std::get_if<ConfigurationRefusal>(&composed))
        return refused(refusal->reason);
    return std::get<RequestBuffer>(composed);
}

} // namespace tavolix

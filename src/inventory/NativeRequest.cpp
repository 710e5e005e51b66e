#include "NativeRequest.h"

namespace tavolix {

Result<RequestBuffer> composeRequest(const DeviceRecord& device, const DeviceSettings& asked,
                                     const ConfigurationLogin& login, LegacyCodePage page)
{
    const auto asText = [page](const std::optional<std::string>& bytes) {
        return bytes ? std::optional(deviceTextToUtf8(*bytes, page)) : std::nullopt;
    };
    const AddressMode mode = asked.mode.value_or(chosenAddressMode(device.networkMode));
    ConfigurationInput input{.device = device, .asked = {}, .login = login, .codePage = page};
    input.asked.name = asText(asked.name);
    input.asked.pppoeAccount = asText(asked.pppoeAccount);
    input.asked.ipAddress = asked.ip;
    input.asked.subnetMask = asked.mask;
    input.asked.gateway = asked.gateway;
    input.asked.httpPort = asked.httpPort;
    input.asked.pppoe = mode == AddressMode::Pppoe;
    input.asked.dhcp = mode == AddressMode::Dhcp;
    return composeConfigurationRequest(input);
}

} // namespace tavolix

#include "DeviceSimulation.h"

#include "ConfigurationRecords.h"
#include "Credentials.h"
#include "Datagram.h"

#include <algorithm>

namespace tavolix::devicesim {

DeviceSimulation::DeviceSimulation(const SimOptions& options)
    : m_devices(makeDevices(options)), m_paddingBytes(options.paddingBytes)
{
    // The Credentials record carries the first 32 Base64 characters, zero-padded.
    const std::string encoded = encodeCredentials(options.loginAccount, options.loginPassword);
    std::copy_n(encoded.begin(), std::min(encoded.size(), m_expectedCredentials.size()),
                m_expectedCredentials.begin());
}

RequestOutcome DeviceSimulation::handle(std::span<const uint8_t> datagram)
{
    if (!hasMagic(datagram))
        return {RequestKind::Ignored, "no-magic"};
    if (isSearch(datagram))
        return {RequestKind::Search, "search"};
    return configure(datagram);
}

RequestOutcome DeviceSimulation::configure(std::span<const uint8_t> datagram)
{
    const ConfigurationRecords request = readConfiguration(datagram);
    if (!request.target)
        return {RequestKind::Ignored, "no-target"};
    const auto device =
        std::find_if(m_devices.begin(), m_devices.end(), [&](const SimulatedDevice& candidate) {
            return candidate.mac == *request.target;
        });
    if (device == m_devices.end())
        return {RequestKind::Ignored, "unknown-device " + macToText(*request.target)};
    if (!request.credentials || *request.credentials != m_expectedCredentials)
        return {RequestKind::Ignored, "bad-login " + macToText(*request.target)};
    const std::string changed = applyConfiguration(request, *device);
    return {RequestKind::Configuration, macToText(*request.target) + changed};
}

} // namespace tavolix::devicesim

#include "DeviceSimulation.h"

#include "ConfigurationRecords.h"
#include "Credentials.h"
#include "Datagram.h"

#include <algorithm>

namespace tavolix::devicesim {

DeviceSimulation::DeviceSimulation(const SimOptions& options)
    : m_devices(makeDevices(options)), m_applyDelay(options.applyDelayMs),
      m_paddingBytes(options.paddingBytes)
{
    // The Credentials record carries the first 32 Base64 characters, zero-padded.
    const std::string encoded = encodeCredentials(options.loginAccount, options.loginPassword);
    std::copy_n(encoded.begin(), std::min(encoded.size(), m_expectedCredentials.size()),
                m_expectedCredentials.begin());
}

RequestOutcome DeviceSimulation::handle(std::span<const uint8_t> datagram, SimClock::time_point now)
{
    if (!hasMagic(datagram))
        return {RequestKind::Ignored, "no-magic"};
    if (isSearch(datagram))
        return {RequestKind::Search, "search"};
    return configure(datagram, now);
}

RequestOutcome DeviceSimulation::configure(std::span<const uint8_t> datagram,
                                           SimClock::time_point now)
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
    if (device->ignoresConfiguration)
        return {RequestKind::Ignored, "ignored " + macToText(*request.target)};
    if (m_applyDelay.count() > 0) {
        m_deferred.push_back(
            {now + m_applyDelay, static_cast<std::size_t>(device - m_devices.begin()), request});
        return {RequestKind::Deferred,
                macToText(*request.target) + " in " + std::to_string(m_applyDelay.count()) + " ms"};
    }
    const std::string changed = applyConfiguration(request, *device);
    return {RequestKind::Configuration, macToText(*request.target) + changed};
}

std::vector<std::string> DeviceSimulation::applyDue(SimClock::time_point now)
{
    std::vector<std::string> notes;
    auto due = m_deferred.begin();
    for (; due != m_deferred.end() && due->due <= now; ++due) {
        SimulatedDevice& device = m_devices[due->device];
        const std::string mac = macToText(device.mac);
        notes.push_back(mac + applyConfiguration(due->request, device));
    }
    m_deferred.erase(m_deferred.begin(), due);
    return notes;
}

std::optional<SimClock::time_point> DeviceSimulation::nextDue() const
{
    if (m_deferred.empty())
        return std::nullopt;
    return m_deferred.front().due;
}

} // namespace tavolix::devicesim

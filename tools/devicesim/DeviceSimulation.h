#pragma once

#include "SimOptions.h"
#include "SimulatedDevice.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tavolix::devicesim {

enum class RequestKind
{
    Ignored,       // not a protocol datagram, or a configuration that was refused
    Search,        // every device answers
    Configuration, // one device took new settings
};

struct RequestOutcome
{
    RequestKind kind = RequestKind::Ignored;
    std::string note; // why it was ignored, or what was applied
};

// The state of all simulated devices and the rules by which they answer and
// take new settings.
class DeviceSimulation final
{
public:
    explicit DeviceSimulation(const SimOptions& options);
    DeviceSimulation(const DeviceSimulation&) = delete;
    DeviceSimulation& operator=(const DeviceSimulation&) = delete;

    // A search is a datagram with the magic, no Credentials record and no
    // non-zero Mac record. Anything else with the magic is a configuration
    // request: the first Mac record names the device, which applies it only
    // when the Credentials record matches its login.
    RequestOutcome handle(std::span<const uint8_t> datagram);

    const std::vector<SimulatedDevice>& devices() const { return m_devices; }
    int paddingBytes() const { return m_paddingBytes; }

private:
    RequestOutcome configure(std::span<const uint8_t> datagram);

    std::vector<SimulatedDevice> m_devices;
    std::array<uint8_t, 32> m_expectedCredentials{};
    int m_paddingBytes = 0;
};

} // namespace tavolix::devicesim

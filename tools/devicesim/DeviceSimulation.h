#pragma once

#include "ConfigurationRecords.h"
#include "SimOptions.h"
#include "SimulatedDevice.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tavolix::devicesim {

enum class RequestKind
{
    Ignored,       // not a protocol datagram, or a configuration that was refused
    Search,        // every device answers
    Configuration, // one device took new settings
    Deferred,      // one device will take new settings once its delay has passed
};

using SimClock = std::chrono::steady_clock;

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
    // A device that ignores configuration drops it; with an apply delay the
    // settings wait until applyDue sees their time has come.
    RequestOutcome handle(std::span<const uint8_t> datagram, SimClock::time_point now = {});

    // Applies the deferred configurations that are due; one note per device
    // ("02005e100001 name ip"), in arrival order.
    std::vector<std::string> applyDue(SimClock::time_point now);
    // When the next deferred configuration is due, if any waits.
    std::optional<SimClock::time_point> nextDue() const;

    const std::vector<SimulatedDevice>& devices() const { return m_devices; }
    int paddingBytes() const { return m_paddingBytes; }

private:
    RequestOutcome configure(std::span<const uint8_t> datagram, SimClock::time_point now);

    struct Deferred
    {
        SimClock::time_point due;
        std::size_t device = 0;
        ConfigurationRecords request;
    };

    std::vector<SimulatedDevice> m_devices;
    std::vector<Deferred> m_deferred; // in arrival order, so in order of due time
    std::chrono::milliseconds m_applyDelay{0};
    std::array<uint8_t, 32> m_expectedCredentials{};
    int m_paddingBytes = 0;
};

} // namespace tavolix::devicesim

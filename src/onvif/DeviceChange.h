#pragma once

#include "DeviceLogin.h"
#include "DeviceProtocol.h"
#include "OnvifChange.h"
#include "OnvifDevice.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace tavolix::onvif {

// One device's change: its calls one after the other, each with the login as
// the reads found the device takes it (a token made in the device's time, or
// Digest). A device whose interface change needs a reboot is rebooted when
// that was asked for.
class DeviceChange final
{
public:
    DeviceChange(const MacAddress& mac, const OnvifDevice& device, std::vector<ChangeCall> calls,
                 const ChangeOptions& options);

    NextCall start() { return next(); }
    // The answer to the call last sent.
    NextCall take(const HttpResult& result);
    // The call could not be sent.
    void giveUp(const Failure& failure);

    bool ended() const { return m_ended; }
    // Once it ended other than taken.
    const std::optional<ChangeOutcome>& outcome() const { return m_outcome; }

private:
    NextCall next();
    NextCall fail(std::string message, ChangeOutcome::State state = ChangeOutcome::State::Failed);
    std::string operationText() const;
    // "02:00:5e:00:00:01: SetNetworkDefaultGateway taken, " and the rest of the message.
    std::string failureText(const std::string& rest) const;

    MacAddress m_mac{};
    ServiceAddress m_service; // where the next call goes
    // Where the service was before a port change, until a call reached it at the new port.
    std::optional<ServiceAddress> m_portBefore;
    std::vector<std::string> m_taken; // the calls the device took, in order
    bool m_reboot = false;
    DeviceLogin m_login;
    std::vector<ChangeCall> m_calls;
    std::size_t m_next = 0;
    bool m_ended = false;
    std::optional<ChangeOutcome> m_outcome;
};

} // namespace tavolix::onvif

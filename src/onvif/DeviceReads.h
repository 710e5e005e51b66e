#pragma once

#include "DeviceLogin.h"
#include "OnvifDevice.h"

#include <cstddef>
#include <optional>

namespace tavolix::onvif {

// One device's reads through its device service: the clock first, then each
// read a login allows, one after the other, as the device takes the login.
// Without a login only the clock.
class DeviceReads final
{
public:
    DeviceReads(OnvifDevice device, const std::optional<Login>& login);

    NextCall start() { return next(); }
    // The answer to the call last sent.
    NextCall take(const HttpResult& result);
    // The call could not be sent.
    void giveUp(const Failure& failure);
    // Nothing is sent: it stays as its probe answer told.
    void leaveUnread() { m_done = true; }

    const OnvifDevice& device() const { return m_device; }
    bool done() const { return m_done; }

private:
    NextCall next();
    NextCall end(std::string problem);

    OnvifDevice m_device;
    DeviceLogin m_negotiation;
    std::size_t m_step = 0; // the read after the clock
    bool m_done = false;
};

} // namespace tavolix::onvif

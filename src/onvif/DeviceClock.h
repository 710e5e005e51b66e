#pragma once

#include "DeviceCalls.h"
#include "HttpExchanges.h"
#include "SoapFault.h"

#include <chrono>
#include <optional>
#include <string>

namespace tavolix::onvif {

inline constexpr std::chrono::milliseconds callTimeout{3000};

// What a device's machine sends next, or nothing: it has ended.
using NextCall = std::optional<HttpPost>;

// The device's clock as calls with a login need it: every token is made in the
// device's time (ours plus the offset its GetSystemDateAndTime showed). A
// refused login has the clock read again once, then the refused call is sent
// again: the device's clock may have moved since it was read, and with the old
// offset every token looks stale to it. Reads and changes both go through it.
class DeviceClock final
{
public:
    // Not yet read: the first request is the clock's.
    DeviceClock() = default;
    // Read before, with this offset.
    explicit DeviceClock(std::chrono::seconds offset) : m_offset(offset), m_reading(false) {}

    std::chrono::seconds offset() const { return m_offset; }
    bool reading() const { return m_reading; }

    // The operation the next answer is to: the clock's while it is read,
    // else the call's.
    Operation answering(const DeviceCall& call) const;

    // What stands for `call` now: while the clock is read, its request without
    // a login (a device checks the login against it); else the call, with a
    // token when there is a login.
    Result<HttpPost> post(const std::string& url, const DeviceCall& call, const Login* login) const;

    // Takes an answer to post() first; `failed` is the caller's reading of it
    // as no answer. True when it was the rule's: post() is to be sent next.
    bool retries(const HttpResult& result, const std::optional<SoapFault>& fault, bool failed);

private:
    std::chrono::seconds m_offset{0};
    bool m_reading = true;
    bool m_reread = false; // the once a refused login may have
};

} // namespace tavolix::onvif

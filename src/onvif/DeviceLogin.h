#pragma once

#include "Device.h"
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

// How one device takes the login, and its clock, as its first calls showed;
// kept for the run (the reads hand both to a change). Reads and changes both
// send through it.
//
// With a login every call goes out with libcurl's Digest, which answers the
// device's 401 itself. A device that refuses the call as NotAuthorized, or
// answers 401 with no Digest it could take, wants a UsernameToken: from then
// on its calls carry one, made in the device's time, and no Digest. A refusal
// of credentials sent is a refused login, whichever the scheme.
//
// The clock is read first, without a login; a device that refuses even that
// is asked with a token made in the time of its refusal's Date header. A
// refused token has the clock read again once and the call sent again: the
// device's clock may have moved, and with the old offset every token looks
// stale to it.
class DeviceLogin final
{
public:
    // What an answer leads to.
    enum class Step
    {
        Resend,   // post() is to be sent next
        Answered, // the answer is the call's, for the caller to read
        Refused,  // the device refused the login
    };

    // Not yet read: the first request is the clock's. Without a login calls
    // carry none.
    explicit DeviceLogin(std::optional<Login> login) : m_login(std::move(login)) {}
    // Read before, with this offset and the scheme found then.
    DeviceLogin(std::optional<Login> login, std::optional<std::chrono::seconds> offset,
                LoginScheme scheme)
        : m_login(std::move(login)), m_offset(offset), m_scheme(scheme), m_reading(false)
    {}

    bool hasLogin() const { return m_login.has_value(); }

    // The device's clock minus ours, once read (from an answer or a Date).
    std::optional<std::chrono::seconds> offset() const { return m_offset; }
    LoginScheme scheme() const { return m_scheme; }
    bool reading() const { return m_reading; }

    // The operation the next answer is to: the clock's while it is read,
    // else the call's.
    Operation answering(const DeviceCall& call) const;

    // What stands for `call` now: the clock's request while it is read.
    Result<HttpPost> post(const std::string& url, const DeviceCall& call) const;

    // Takes the answer to post(); `fault` is the caller's reading of it.
    Step take(const HttpResult& result, const std::optional<SoapFault>& fault);

private:
    Step takeClock(const HttpAnswer& answer, const std::optional<SoapFault>& fault,
                   bool tokenWanted, bool refusal);
    void readClock(const HttpAnswer& answer);

    std::optional<Login> m_login;
    std::optional<std::chrono::seconds> m_offset;
    LoginScheme m_scheme = LoginScheme::Unknown;
    bool m_reading = true;
    bool m_clockWithToken = false; // the clock is asked with a token
    bool m_reread = false;         // the once a refused token may have
};

// The Digest scheme an Authorization value answered with; nothing when it
// is no Digest, Unknown for an algorithm not named here.
std::optional<LoginScheme> digestSent(std::string_view authorization);

} // namespace tavolix::onvif

#pragma once

#include "Result.h"
#include "SecretText.h"
#include "TlsCheck.h"
#include "WaitSet.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavolix::onvif {

// HTTP Digest credentials, which libcurl sends once the device asks.
struct HttpLogin
{
    std::string user;
    SecretText password; // libcurl keeps a copy of its own for the transfer
};

// One SOAP 1.2 call over HTTP or HTTPS: a POST of body to url.
struct HttpPost
{
    std::string url;
    std::string body;
    std::string action; // the SOAP action, carried in the content type
    std::chrono::milliseconds timeout{3000};
    std::optional<HttpLogin> digest; // answers a Digest challenge when given
};

struct HttpAnswer
{
    long status = 0;  // the HTTP status
    std::string body; // at most maxAnswerBytes
    // Of the last answer only (a 401 libcurl answered goes before it): its
    // WWW-Authenticate values and its Date.
    std::vector<std::string> challenges;
    std::optional<std::chrono::system_clock::time_point> date;
    std::string authorization; // the Authorization the last request carried; "" none
};

// A call that ended: its answer, or why none came (or why it was cut off).
struct HttpResult
{
    uint64_t id = 0;
    Result<HttpAnswer> answer = HttpAnswer{};
    // Without an answer: whether the request had gone out (the device may have
    // acted on it) or not (refused, unreachable: it cannot have).
    bool requestSent = false;
};

// Many HTTP(S) exchanges at once on one thread (libcurl's multi interface, driven
// through its sockets): connections to a device are kept and used again for
// its next call. It waits in the caller's wait, beside the caller's sockets.
class HttpExchanges final
{
public:
    static constexpr std::size_t maxAnswerBytes = 1024 * 1024;
    static constexpr std::size_t maxChallengeHeaders = 8;
    static constexpr std::size_t maxHeaderValueBytes = 4096;

    explicit HttpExchanges(TlsCheck tls = TlsCheck::Skip);
    ~HttpExchanges();
    HttpExchanges(const HttpExchanges&) = delete;
    HttpExchanges& operator=(const HttpExchanges&) = delete;

    // Starts the call; its result comes out of a later advance() under the id.
    Result<uint64_t> post(const HttpPost& post);

    // Adds the sockets the calls wait on, and when libcurl must act unasked.
    void watch(WaitSet& waits) const;

    // Moves the calls on whose sockets the wait found ready, or whose time
    // came; never blocks. Returns the calls that ended.
    std::vector<HttpResult> advance(const WaitSet& ready);

    std::size_t running() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace tavolix::onvif

#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace tavolix::onvif {

// One SOAP 1.2 call over HTTP: a POST of body to url.
struct HttpPost
{
    std::string url;
    std::string body;
    std::string action; // the SOAP action, carried in the content type
    std::chrono::milliseconds timeout{3000};
};

struct HttpResult
{
    uint64_t id = 0;
    long status = 0;   // the HTTP status; 0 when no answer came
    std::string body;  // at most maxAnswerBytes
    std::string error; // why no answer came, or why it was cut off
};

// Many HTTP exchanges at once on one thread (libcurl's multi interface):
// connections to a device are kept and used again for its next call.
class HttpExchanges final
{
public:
    static constexpr std::size_t maxAnswerBytes = 1024 * 1024;

    HttpExchanges();
    ~HttpExchanges();
    HttpExchanges(const HttpExchanges&) = delete;
    HttpExchanges& operator=(const HttpExchanges&) = delete;

    // Starts the call; its result comes out of a later step() under the id.
    uint64_t post(const HttpPost& post);

    // Moves every call on, waiting at most `wait` for any of them, or for one
    // of the caller's descriptors to become readable. Returns the calls that
    // ended.
    std::vector<HttpResult> step(std::chrono::milliseconds wait,
                                 std::span<const int> readable = {});

    std::size_t running() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace tavolix::onvif

#pragma once

#include "NetlinkAddresses.h"
#include "Result.h"

#include <memory>
#include <string>

namespace tavolix::adopt {

// How many addresses the signal handler can remove: more than one run adds in practice.
constexpr std::size_t signalTableSize = 32;

// Removes the armed addresses when SIGINT, SIGTERM or SIGHUP ends the process, then unlinks the
// journal and lets the signal end the process, so that its exit status still says which.
// The handler only sends requests built beforehand over a socket opened beforehand: it calls
// nothing that is not async-signal-safe. One per process at a time.
class SignalCleanup final
{
public:
    static Result<std::unique_ptr<SignalCleanup>> install(const std::string& journalPath);
    ~SignalCleanup(); // puts back the handlers that were there before
    SignalCleanup(const SignalCleanup&) = delete;
    SignalCleanup& operator=(const SignalCleanup&) = delete;

    // Refused when the table is full.
    Result<> arm(const HostAddress& address);
    void disarm(const HostAddress& address);

private:
    SignalCleanup() = default;
};

} // namespace tavolix::adopt

#pragma once

#include <chrono>
#include <poll.h>
#include <vector>

namespace tavolix {

using Clock = std::chrono::steady_clock;

// What the protocols of one search wait for: descriptors with the events
// each waits for, and the earliest time one of them must act unasked. One
// wait over all of it lets every protocol move as soon as its input comes,
// without turns between them.
class WaitSet final
{
public:
    void watch(int fd, short events);
    void wakeAt(Clock::time_point at);

    // Waits until a watched descriptor is ready, the earliest wake-up time
    // has come, or `until`; false once `until` has passed.
    bool wait(Clock::time_point until);

    // What the last wait() found of fd's events (POLLIN, POLLOUT, POLLERR...).
    short ready(int fd) const;
    // Every descriptor watched, with what the last wait() found (revents).
    const std::vector<pollfd>& watched() const { return m_watched; }
    // Whether the earliest wake-up time asked for has come.
    bool due(Clock::time_point at) const { return at <= m_woken; }
    // The `until` of the last wait(): a drain of what was found ready stops there.
    Clock::time_point until() const { return m_until; }

private:
    std::vector<pollfd> m_watched;
    Clock::time_point m_wake = Clock::time_point::max();
    Clock::time_point m_woken{};
    Clock::time_point m_until = Clock::time_point::max();
};

} // namespace tavolix

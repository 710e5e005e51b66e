#include "WaitSet.h"

#include <algorithm>
#include <ctime>

namespace tavolix {

void WaitSet::watch(int fd, short events)
{
    m_watched.push_back({fd, events, 0});
}

void WaitSet::wakeAt(Clock::time_point at)
{
    m_wake = std::min(m_wake, at);
}

bool WaitSet::wait(Clock::time_point until)
{
    for (pollfd& watched : m_watched)
        watched.revents = 0;
    m_until = until;
    const auto now = Clock::now();
    if (now >= until)
        return false;
    // ppoll's nanoseconds: a deadline a fraction of a millisecond away is
    // neither missed nor spun on.
    const auto left = std::max(std::min(until, m_wake) - now, Clock::duration::zero());
    const auto seconds = std::chrono::floor<std::chrono::seconds>(left);
    const timespec timeout{static_cast<time_t>(seconds.count()),
                           static_cast<long>(std::chrono::nanoseconds(left - seconds).count())};
    // EINTR counts as a wake-up with nothing ready; the caller waits again.
    ::ppoll(m_watched.data(), m_watched.size(), &timeout, nullptr);
    m_woken = Clock::now();
    return true;
}

short WaitSet::ready(int fd) const
{
    const auto found = std::find_if(m_watched.begin(), m_watched.end(),
                                    [fd](const pollfd& watched) { return watched.fd == fd; });
    return found == m_watched.end() ? 0 : found->revents;
}

} // namespace tavolix

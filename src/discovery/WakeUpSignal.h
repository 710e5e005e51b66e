#pragma once

#include "UniqueFd.h"

namespace tavolix {

// An eventfd that the window side signals when it hands the worker a command
// or asks it to stop, so the worker can sleep in poll() until something
// happens instead of polling on a timer.
class WakeUpSignal final
{
public:
    WakeUpSignal();
    WakeUpSignal(const WakeUpSignal&) = delete;
    WakeUpSignal& operator=(const WakeUpSignal&) = delete;

    int fd() const { return m_fd.get(); }
    // The errno of a failed creation, 0 when the signal works. Without it the
    // worker could never be woken, not even to stop.
    int creationError() const { return m_creationError; }
    void signal() const;
    void drain() const;

private:
    UniqueFd m_fd;
    int m_creationError = 0;
};

} // namespace tavolix

#pragma once

#include "UniqueFd.h"

namespace tavolix::sim {

// SIGINT and SIGTERM arrive as readable data on a descriptor, so a simulator
// can wait for them and its sockets in one poll() and end cleanly.
class TerminationSignals final
{
public:
    TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    int fd() const { return m_fd.get(); } // -1 when signalfd failed
    int take() const;                     // the signal's number, 0 if none could be read

private:
    UniqueFd m_fd;
};

} // namespace tavolix::sim

#include "TerminationSignals.h"

#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

namespace tavolix::sim {

TerminationSignals::TerminationSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    if (sigprocmask(SIG_BLOCK, &signals, nullptr) == 0)
        m_fd.reset(::signalfd(-1, &signals, SFD_CLOEXEC));
}

int TerminationSignals::take() const
{
    signalfd_siginfo info{};
    return ::read(m_fd.get(), &info, sizeof info) == sizeof info ? static_cast<int>(info.ssi_signo)
                                                                 : 0;
}

} // namespace tavolix::sim

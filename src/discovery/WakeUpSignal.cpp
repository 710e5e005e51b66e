#include "WakeUpSignal.h"

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace tavolix {

WakeUpSignal::WakeUpSignal() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (!m_fd)
        m_creationError = errno;
}

void WakeUpSignal::signal() const
{
    const uint64_t one = 1;
    // A full counter already wakes the reader, so a failed write loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(m_fd.get(), &one, sizeof one);
}

void WakeUpSignal::drain() const
{
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t bytesRead = ::read(m_fd.get(), &count, sizeof count);
}

} // namespace tavolix

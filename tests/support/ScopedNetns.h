#pragma once

#include "UniqueFd.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <string>

namespace tavolix::test {

// The calling thread in a network namespace for the scope, with the sockets and threads it makes.
class ScopedNetns final
{
public:
    explicit ScopedNetns(const std::string& namespaceName)
        : m_original(::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC))
    {
        const UniqueFd target(
            ::open(("/run/netns/" + namespaceName).c_str(), O_RDONLY | O_CLOEXEC));
        m_entered = m_original && target && ::setns(target.get(), CLONE_NEWNET) == 0;
        if (!m_entered)
            m_error = "cannot enter " + namespaceName + ": " + std::strerror(errno);
    }
    ~ScopedNetns()
    {
        // A thread left in a test namespace would send where nobody expects
        // it: better to stop the run than to go on there.
        if (m_entered && ::setns(m_original.get(), CLONE_NEWNET) != 0)
            std::abort();
    }
    ScopedNetns(const ScopedNetns&) = delete;
    ScopedNetns& operator=(const ScopedNetns&) = delete;

    bool entered() const { return m_entered; }
    const std::string& error() const { return m_error; }

private:
    UniqueFd m_original;
    bool m_entered = false;
    std::string m_error;
};

} // namespace tavolix::test

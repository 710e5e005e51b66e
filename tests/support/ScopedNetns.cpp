#include "ScopedNetns.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

namespace tavolix::test {

ScopedNetns::ScopedNetns(const std::string& namespaceName)
{
    m_originalFd = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    if (m_originalFd < 0) {
        m_error = std::string("cannot open own namespace: ") + std::strerror(errno);
        return;
    }
    const std::string path = "/run/netns/" + namespaceName;
    const int target = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (target < 0) {
        m_error = "cannot open " + path + ": " + std::strerror(errno);
        return;
    }
    if (::setns(target, CLONE_NEWNET) == 0)
        m_entered = true;
    else
        m_error = "setns " + namespaceName + ": " + std::strerror(errno);
    ::close(target);
}

ScopedNetns::~ScopedNetns()
{
    // A thread left in a test namespace would send where nobody expects it:
    // better to stop the run than to go on there.
    if (m_entered && ::setns(m_originalFd, CLONE_NEWNET) != 0) {
        std::perror("setns back to the original namespace");
        std::abort();
    }
    if (m_originalFd >= 0)
        ::close(m_originalFd);
}

} // namespace tavolix::test

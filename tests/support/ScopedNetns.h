#pragma once

#include <string>

namespace tavolix::test {

// Moves the calling thread into a named network namespace and back again when
// it goes out of scope. Sockets made and threads started meanwhile belong to
// that namespace.
class ScopedNetns final
{
public:
    explicit ScopedNetns(const std::string& namespaceName);
    ~ScopedNetns();
    ScopedNetns(const ScopedNetns&) = delete;
    ScopedNetns& operator=(const ScopedNetns&) = delete;

    bool entered() const { return m_entered; }
    const std::string& error() const { return m_error; }

private:
    int m_originalFd = -1;
    bool m_entered = false;
    std::string m_error;
};

} // namespace tavolix::test

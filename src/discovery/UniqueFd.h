#pragma once

#include <cerrno>
#include <unistd.h>
#include <utility>

namespace tavolix {

// Owns one file descriptor and closes it; -1 owns nothing.
class UniqueFd final
{
public:
    explicit UniqueFd(int fd = -1) noexcept : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const noexcept { return m_fd; }
    explicit operator bool() const noexcept { return m_fd >= 0; }
    int release() noexcept { return std::exchange(m_fd, -1); }
    // Keeps errno, so a failing call's error survives the close after it.
    void reset(int fd = -1) noexcept
    {
        const int error = errno;
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
        errno = error;
    }

private:
    int m_fd;
};

} // namespace tavolix

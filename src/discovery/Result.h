#pragma once

#include <cstring>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace tavolix {

// Why something could not be done. The libraries say what went wrong; what
// a caller makes of it (tavolixctl's exit code, the window's status line) is
// the caller's.
enum class Cause
{
    Refused,    // bad input, or a change that may not be made: nothing was sent
    Incomplete, // a device did not answer, or did not do all it was asked
    System,     // the operating system refused: no interface, a port in use
};

struct Failure
{
    Cause cause = Cause::Refused;
    std::string message; // one line per problem; empty when nothing more is to be said
    int systemError = 0; // the errno behind a System failure, where there is one
};

struct Done
{};

// A value, or the failure that stands in its place: the one way the
// libraries' functions say that they could not do their job.
template <typename T = Done> class [[nodiscard]] Result final
{
public:
    Result(T value) : m_state(std::move(value)) {}
    Result(Failure failure) : m_state(std::move(failure)) {}

    explicit operator bool() const { return std::holds_alternative<T>(m_state); }
    T& operator*() { return std::get<T>(m_state); }
    const T& operator*() const { return std::get<T>(m_state); }
    T* operator->() { return &std::get<T>(m_state); }
    const T* operator->() const { return &std::get<T>(m_state); }
    const Failure& failure() const { return std::get<Failure>(m_state); }

private:
    std::variant<T, Failure> m_state;
};

inline Failure refused(std::string message)
{
    return {Cause::Refused, std::move(message)};
}

// Every reason, one per line.
inline Failure refused(const std::vector<std::string>& reasons)
{
    std::string message;
    for (const std::string& reason : reasons)
        message += (message.empty() ? "" : "\n") + reason;
    return refused(std::move(message));
}

inline Failure incomplete(std::string message)
{
    return {Cause::Incomplete, std::move(message)};
}

inline Failure systemFailure(std::string message, int error = 0)
{
    return {Cause::System, std::move(message), error};
}

// A system call that failed: what was being done, the system's reason, its errno.
inline Failure systemCallFailure(const std::string& what, int error)
{
    return systemFailure(what + ": " + std::strerror(error), error);
}

} // namespace tavolix

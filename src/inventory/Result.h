#pragma once

#include "ExitCode.h"

#include <string>
#include <utility>
#include <variant>

namespace tavolix {

// Why something could not be done: the exit code it leads to and the message
// for standard error (one line per problem; empty when nothing more is to be
// said).
struct Failure
{
    ExitCode code = ExitRefused;
    std::string message;
};

struct Done
{};

// A value, or the failure that stands in its place. The one way tavolixctl's
// functions say that they could not do their job.
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
    return {ExitRefused, std::move(message)};
}

inline Failure systemFailure(std::string message)
{
    return {ExitSystem, std::move(message)};
}

} // namespace tavolix

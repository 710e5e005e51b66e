#include "CommandSupport.h"

#include "PasswordSource.h"

#include <cstdio>

namespace tavolix::cli {
namespace {

constexpr std::size_t loginCapacity = 16;

} // namespace

void writeOut(std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void complain(std::string_view text)
{
    std::string line = "tavolixctl: ";
    line += text;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

std::optional<Login> readLogin(const std::string& user, const std::string& passwordFile)
{
    if (user.empty() || user.size() > loginCapacity) {
        complain("--user must be 1 to 16 bytes");
        return std::nullopt;
    }
    std::string problem;
    auto password = readPassword(passwordFile, user, problem);
    if (!password) {
        complain(problem);
        return std::nullopt;
    }
    if (password->size() > loginCapacity) {
        // Cutting it would send a different password without a word.
        complain("the password is longer than 16 bytes, which a device cannot take");
        return std::nullopt;
    }
    return Login{user, std::move(*password)};
}

bool openSession(SearchSession& session, const std::vector<std::string>& interfaces, ExitCode& code)
{
    SessionFailure failure;
    if (session.open(interfaces, failure))
        return true;
    complain(failure.message);
    code = failure.code;
    return false;
}

std::optional<std::vector<FoundDevice>>
searchOnce(SearchSession& session, std::chrono::milliseconds listening,
           const std::function<bool(const FoundDevice&)>& handler)
{
    session.forget();
    std::string error;
    if (!session.sendSearch(error)) {
        complain(error);
        return std::nullopt;
    }
    session.collect(Clock::now() + listening, handler);
    return session.devices();
}

} // namespace tavolix::cli

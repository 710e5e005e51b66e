#include "PasswordSource.h"

#include "UniqueFd.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace tavolix::cli {
namespace {

// The first line of what the descriptor holds, without its line end.
std::optional<std::string> readFirstLine(int fd, std::string& problem)
{
    std::string text;
    std::array<char, 256> chunk{};
    for (;;) {
        const ssize_t got = ::read(fd, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            problem = std::strerror(errno);
            return std::nullopt;
        }
        if (got == 0)
            break;
        text.append(chunk.data(), static_cast<std::size_t>(got));
        if (text.find('\n') != std::string::npos || text.size() > 4096)
            break;
    }
    text = text.substr(0, text.find('\n'));
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    return text;
}

// Echo stays off only while the prompt waits; an interrupt restores it
// before the program ends. The handler reaches the terminal through this.
int promptFd = -1;
termios savedTerminal{};

extern "C" void restoreTerminalAndExit(int signalNumber)
{
    ::tcsetattr(promptFd, TCSAFLUSH, &savedTerminal);
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

std::optional<std::string> prompt(const std::string& user, std::string& problem)
{
    const UniqueFd terminal(::open("/dev/tty", O_RDWR | O_CLOEXEC));
    if (!terminal || ::tcgetattr(terminal.get(), &savedTerminal) != 0) {
        problem = "no password: give --password-file FILE (- for standard input), set "
                  "TAVOLIX_PASSWORD, or run on a terminal";
        return std::nullopt;
    }
    promptFd = terminal.get();
    const std::string question = "Password for " + user + ": ";
    (void)!::write(promptFd, question.data(), question.size());
    termios quiet = savedTerminal;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    const auto previousInt = std::signal(SIGINT, restoreTerminalAndExit);
    const auto previousTerm = std::signal(SIGTERM, restoreTerminalAndExit);
    ::tcsetattr(promptFd, TCSAFLUSH, &quiet);
    auto password = readFirstLine(promptFd, problem);
    ::tcsetattr(promptFd, TCSAFLUSH, &savedTerminal);
    std::signal(SIGINT, previousInt);
    std::signal(SIGTERM, previousTerm);
    promptFd = -1;
    return password;
}

} // namespace

std::optional<std::string> readPassword(const std::string& passwordFile, const std::string& user,
                                        std::string& problem)
{
    std::optional<std::string> password;
    if (passwordFile == "-") {
        password = readFirstLine(STDIN_FILENO, problem);
    } else if (!passwordFile.empty()) {
        const UniqueFd fd(::open(passwordFile.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd) {
            problem = passwordFile + ": " + std::strerror(errno);
            return std::nullopt;
        }
        password = readFirstLine(fd.get(), problem);
    } else if (const char* fromEnvironment = std::getenv("TAVOLIX_PASSWORD")) {
        password = std::string(fromEnvironment);
    } else {
        password = prompt(user, problem);
    }
    if (password && password->empty()) {
        problem = "the password is empty";
        return std::nullopt;
    }
    return password;
}

} // namespace tavolix::cli

#include "PasswordSource.h"

#include "UniqueFd.h"

#include <algorithm>
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

// The first line of what the descriptor holds, without its line end; every
// buffer it passed through is wiped.
Result<SecretText> readFirstLine(int fd)
{
    WipedString text;
    std::array<char, 256> chunk{};
    for (;;) {
        const ssize_t got = ::read(fd, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ::explicit_bzero(chunk.data(), chunk.size());
            return refused(std::strerror(errno));
        }
        if (got == 0)
            break;
        text.append(chunk.data(), static_cast<std::size_t>(got));
        if (text.find('\n') != WipedString::npos || text.size() > 4096)
            break;
    }
    ::explicit_bzero(chunk.data(), chunk.size());
    text.resize(std::min(text.find('\n'), text.size()));
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    return SecretText(std::move(text));
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

Result<SecretText> prompt(const std::string& user)
{
    const UniqueFd terminal(::open("/dev/tty", O_RDWR | O_CLOEXEC));
    if (!terminal || ::tcgetattr(terminal.get(), &savedTerminal) != 0) {
        return refused("no password: give --password-file FILE (- for standard input), set "
                       "TAVOLIX_PASSWORD, or run on a terminal");
    }
    promptFd = terminal.get();
    termios quiet = savedTerminal;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    const auto previousInt = std::signal(SIGINT, restoreTerminalAndExit);
    const auto previousTerm = std::signal(SIGTERM, restoreTerminalAndExit);
    ::tcsetattr(promptFd, TCSAFLUSH, &quiet);
    // Asked only once echo is off: nothing typed after the question shows.
    const std::string question = "Password for " + user + ": ";
    (void)!::write(promptFd, question.data(), question.size());
    auto password = readFirstLine(promptFd);
    ::tcsetattr(promptFd, TCSAFLUSH, &savedTerminal);
    std::signal(SIGINT, previousInt);
    std::signal(SIGTERM, previousTerm);
    promptFd = -1;
    return password;
}

} // namespace

Result<SecretText> readPassword(const std::string& passwordFile, const std::string& user)
{
    Result<SecretText> password = SecretText();
    if (passwordFile == "-") {
        password = readFirstLine(STDIN_FILENO);
    } else if (!passwordFile.empty()) {
        const UniqueFd fd(::open(passwordFile.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd)
            return refused(passwordFile + ": " + std::strerror(errno));
        password = readFirstLine(fd.get());
    } else if (const char* fromEnvironment = std::getenv("TAVOLIX_PASSWORD")) {
        password = SecretText(fromEnvironment);
    } else {
        password = prompt(user);
    }
    if (password && password->empty())
        return refused("the password is empty");
    return password;
}

} // namespace tavolix::cli

#include "ProgramOutput.h"

#include "UniqueFd.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tavolix::doctor {
namespace {

// Both ends close-on-exec; the spawned program gets its own copies as 1 and 2.
class Pipe final
{
public:
    Pipe()
    {
        std::array<int, 2> fds{-1, -1};
        if (::pipe2(fds.data(), O_CLOEXEC) == 0) {
            m_read.reset(fds[0]);
            m_write.reset(fds[1]);
        }
    }

    bool ok() const { return static_cast<bool>(m_read); }
    int readEnd() const { return m_read.get(); }
    int writeEnd() const { return m_write.get(); }
    void closeWrite() { m_write.reset(); }

private:
    UniqueFd m_read;
    UniqueFd m_write;
};

// Reads both pipes to their ends together, so that neither can fill up and
// stall the program.
void drain(Pipe& out, Pipe& err, ProgramOutput& result)
{
    std::array<pollfd, 2> fds{{{out.readEnd(), POLLIN, 0}, {err.readEnd(), POLLIN, 0}}};
    std::array<std::string*, 2> sinks{&result.output, &result.errors};
    std::array<char, 4096> buffer{};
    int open = 2;
    while (open > 0) {
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            const ssize_t count = ::read(fds[i].fd, buffer.data(), buffer.size());
            if (count > 0) {
                sinks[i]->append(buffer.data(), static_cast<std::size_t>(count));
            } else if (count == 0 || errno != EINTR) {
                fds[i].fd = -1;
                --open;
            }
        }
    }
}

} // namespace

std::string findProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::stringstream folders(std::string(path != nullptr ? path : "") +
                              ":/usr/sbin:/sbin:/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty())
            continue;
        const std::string candidate = folder + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

std::optional<ProgramOutput> runProgram(const std::vector<std::string>& arguments)
{
    if (arguments.empty())
        return std::nullopt;
    Pipe out;
    Pipe err;
    if (!out.ok() || !err.ok())
        return std::nullopt;
    std::vector<std::string> words = arguments;
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, out.writeEnd(), 1);
    ::posix_spawn_file_actions_adddup2(&actions, err.writeEnd(), 2);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return std::nullopt;
    out.closeWrite();
    err.closeWrite();

    ProgramOutput result;
    drain(out, err, result);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return std::nullopt;
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

} // namespace tavolix::doctor

#include "ChildProcess.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tavolix::e2e {
namespace {

// posix_spawn wants a mutable, null-terminated argument array.
std::vector<char*> argumentVector(const std::vector<std::string>& arguments)
{
    std::vector<char*> pointers;
    pointers.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments)
        pointers.push_back(const_cast<char*>(argument.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

pid_t spawn(const std::vector<std::string>& arguments, int outputFd, bool alsoErrors)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
    if (alsoErrors)
        posix_spawn_file_actions_adddup2(&actions, outputFd, STDERR_FILENO);
    std::vector<char*> argv = argumentVector(arguments);
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

} // namespace

pid_t spawnWithOutput(const std::vector<std::string>& arguments, int outputFd)
{
    return spawn(arguments, outputFd, false);
}

int reapChild(pid_t pid)
{
    int status = 0;
    pid_t result = -1;
    do {
        result = ::waitpid(pid, &status, 0);
    } while (result < 0 && errno == EINTR);
    if (result != pid)
        return -1;
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

CommandResult runCommand(const std::vector<std::string>& arguments)
{
    CommandResult result;
    std::array<int, 2> pipeEnds{};
    if (::pipe2(pipeEnds.data(), O_CLOEXEC) != 0)
        return result;
    const pid_t pid = spawn(arguments, pipeEnds[1], true);
    ::close(pipeEnds[1]);
    std::array<char, 4096> chunk{};
    ssize_t got = 0;
    while ((got = ::read(pipeEnds[0], chunk.data(), chunk.size())) != 0) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            break;
        result.output.append(chunk.data(), static_cast<std::size_t>(got));
    }
    ::close(pipeEnds[0]);
    if (pid > 0)
        result.exitCode = reapChild(pid);
    return result;
}

} // namespace tavolix::e2e

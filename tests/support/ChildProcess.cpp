#include "ChildProcess.h"

#include "UniqueFd.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tavolix::test {
namespace {

std::vector<char*> pointersTo(std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

int exitCodeOf(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

} // namespace

ChildProcess::ChildProcess(const LaunchOptions& options)
{
    if (options.arguments.empty())
        return;
    // Everything the child needs is prepared before fork: the test may run
    // threads, and after fork only async-signal-safe calls are allowed.
    std::vector<std::string> arguments = options.arguments;
    if (arguments[0].find('/') == std::string::npos)
        arguments[0] = findProgram(arguments[0]);
    if (arguments[0].empty())
        return;
    std::vector<std::string> environment;
    if (options.environment)
        environment = *options.environment;
    std::vector<char*> argv = pointersTo(arguments);
    std::vector<char*> envp = pointersTo(environment);
    char** const childEnvironment = options.environment ? envp.data() : environ;
    const std::string outputPath = options.outputFile.empty() ? "/dev/null" : options.outputFile;
    const std::string inputPath = options.inputFile.empty() ? "/dev/null" : options.inputFile;

    UniqueFd namespaceFd;
    if (!options.networkNamespace.empty()) {
        const std::string path = "/run/netns/" + options.networkNamespace;
        namespaceFd.reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (namespaceFd.get() < 0)
            return;
    }

    m_pid = ::fork();
    if (m_pid == 0) {
        if (namespaceFd.get() >= 0 && ::setns(namespaceFd.get(), CLONE_NEWNET) != 0)
            ::_exit(126);
        if (!options.workingDirectory.empty() && ::chdir(options.workingDirectory.c_str()) != 0)
            ::_exit(126);
        const int output = options.outputFd >= 0
                               ? options.outputFd
                               : ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        const int input = ::open(inputPath.c_str(), O_RDONLY);
        const int errors = options.errorFile.empty() ? output
                                                     : ::open(options.errorFile.c_str(),
                                                              O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (output < 0 || input < 0 || errors < 0)
            ::_exit(126);
        ::dup2(input, STDIN_FILENO);
        ::dup2(output, STDOUT_FILENO);
        if (options.errorsToOutput || !options.errorFile.empty())
            ::dup2(errors, STDERR_FILENO);
        if (options.inheritedDescriptor >= 0)
            ::fcntl(options.inheritedDescriptor, F_SETFD, 0);
        ::execve(argv[0], argv.data(), childEnvironment);
        ::_exit(127);
    }
}

ChildProcess::~ChildProcess()
{
    terminate();
}

std::optional<int> ChildProcess::poll()
{
    if (m_status || m_pid <= 0)
        return m_status;
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid)
        m_status = exitCodeOf(status);
    return m_status;
}

int ChildProcess::wait()
{
    if (m_pid <= 0)
        return -1;
    while (!m_status) {
        int status = 0;
        const pid_t result = ::waitpid(m_pid, &status, 0);
        if (result == m_pid)
            m_status = exitCodeOf(status);
        else if (result < 0 && errno != EINTR)
            m_status = -1;
    }
    return *m_status;
}

std::optional<int> ChildProcess::waitAtMost(std::chrono::milliseconds guard)
{
    const auto end = std::chrono::steady_clock::now() + guard;
    while (!poll() && m_pid > 0 && std::chrono::steady_clock::now() < end)
        ::usleep(20'000);
    return poll();
}

int ChildProcess::terminate()
{
    if (m_pid <= 0)
        return -1;
    if (!poll())
        ::kill(m_pid, SIGTERM);
    return wait();
}

CommandResult runCommand(const std::vector<std::string>& arguments)
{
    CommandResult result;
    std::array<int, 2> ends{};
    if (::pipe2(ends.data(), O_CLOEXEC) != 0)
        return result;
    UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);
    LaunchOptions options;
    options.arguments = arguments;
    options.outputFd = writeEnd.get();
    ChildProcess process(options);
    // Only the child holds the write end now, so the read ends when it does.
    writeEnd.reset();
    if (!process.started())
        return result;
    std::array<char, 4096> chunk{};
    for (;;) {
        const ssize_t got = ::read(readEnd.get(), chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        result.output.append(chunk.data(), static_cast<std::size_t>(got));
    }
    result.exitCode = process.wait();
    return result;
}

std::string findProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::istringstream folders(std::string(path ? path : "") + ":/usr/sbin:/sbin:/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty())
            continue;
        const std::string candidate = folder + '/' + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

} // namespace tavolix::test

#pragma once

#include "ScopedNetns.h"
#include "UniqueFd.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <optional>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/mman.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tavolix::test {

struct LaunchOptions final
{
    std::vector<std::string> arguments;                  // [0]: a path, or a name looked up in PATH
    std::optional<std::vector<std::string>> environment; // nothing: the test's own
    std::string workingDirectory;                        // empty: the test's own
    std::string networkNamespace; // a name under /run/netns; empty: the calling thread's
    // Standard output goes to outputFd if set, else is appended to outputFile, else dropped.
    int outputFd = -1;
    std::string outputFile;
    bool errorsToOutput = true;   // false: standard error stays the test's own
    std::string errorFile;        // set: standard error is appended to it instead
    std::string inputFile;        // set: standard input reads it; else /dev/null
    int inheritedDescriptor = -1; // kept open across exec
};

// The full path of a program in $PATH or the sbin folders; empty if none.
inline std::string findProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::istringstream folders(std::string(path ? path : "") + ":/usr/sbin:/sbin:/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (!folder.empty() && ::access((folder + '/' + name).c_str(), X_OK) == 0)
            return folder + '/' + name;
    }
    return {};
}

// A child ended (SIGTERM) and reaped on destruction; after a signal the exit code is 128 + it.
class ChildProcess final
{
public:
    explicit ChildProcess(const LaunchOptions& options)
    {
        // Everything the child needs is prepared before fork: the test may run
        // threads, and after fork only async-signal-safe calls are allowed.
        std::vector<std::string> arguments = options.arguments;
        if (!arguments.empty() && arguments[0].find('/') == std::string::npos)
            arguments[0] = findProgram(arguments[0]);
        if (arguments.empty() || arguments[0].empty())
            return;
        std::vector<std::string> environment =
            options.environment.value_or(std::vector<std::string>{});
        const auto pointersTo = [](std::vector<std::string>& texts) {
            std::vector<char*> pointers;
            for (std::string& text : texts)
                pointers.push_back(text.data());
            pointers.push_back(nullptr);
            return pointers;
        };
        std::vector<char*> argv = pointersTo(arguments);
        std::vector<char*> envp = pointersTo(environment);
        const std::string output = options.outputFile.empty() ? "/dev/null" : options.outputFile;
        const std::string input = options.inputFile.empty() ? "/dev/null" : options.inputFile;
        constexpr int append = O_WRONLY | O_CREAT | O_APPEND;
        // The child starts in the namespace of the thread that forks it.
        std::optional<ScopedNetns> inNamespace;
        if (!options.networkNamespace.empty() &&
            !inNamespace.emplace(options.networkNamespace).entered())
            return;
        m_pid = ::fork();
        if (m_pid != 0)
            return;
        if (!options.workingDirectory.empty() && ::chdir(options.workingDirectory.c_str()) != 0)
            ::_exit(126);
        const int out =
            options.outputFd >= 0 ? options.outputFd : ::open(output.c_str(), append, 0644);
        const int in = ::open(input.c_str(), O_RDONLY);
        const int errors =
            options.errorFile.empty() ? out : ::open(options.errorFile.c_str(), append, 0644);
        if (out < 0 || in < 0 || errors < 0)
            ::_exit(126);
        ::dup2(in, STDIN_FILENO);
        ::dup2(out, STDOUT_FILENO);
        if (options.errorsToOutput || !options.errorFile.empty())
            ::dup2(errors, STDERR_FILENO);
        if (options.inheritedDescriptor >= 0)
            ::fcntl(options.inheritedDescriptor, F_SETFD, 0);
        ::execve(argv[0], argv.data(), options.environment ? envp.data() : environ);
        ::_exit(127);
    }
    ~ChildProcess() { terminate(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    std::optional<int> poll() { return reap(WNOHANG); } // the exit code once it has ended
    int wait() { return reap(0).value_or(-1); }         // -1 if it never started
    // Against a hang: the test fails and cleans up instead of being killed.
    std::optional<int> waitAtMost(std::chrono::milliseconds guard)
    {
        const auto end = std::chrono::steady_clock::now() + guard;
        while (!poll() && m_pid > 0 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return poll();
    }
    int terminate() // SIGTERM unless it has ended, then wait()
    {
        if (m_pid > 0 && !poll())
            ::kill(m_pid, SIGTERM);
        return wait();
    }

private:
    std::optional<int> reap(int flags)
    {
        int status = 0;
        while (!m_status && m_pid > 0) {
            const pid_t got = ::waitpid(m_pid, &status, flags);
            if (got == m_pid)
                m_status = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
            else if (got == 0)
                break; // still running
            else if (errno != EINTR)
                m_status = -1;
        }
        return m_status;
    }

    pid_t m_pid = -1;
    std::optional<int> m_status;
};

// A memfd for a child's output, reopened on each read so the child's offset stays its own.
class OutputCapture final
{
public:
    int fd() const { return m_file.get(); }
    std::string text() const
    {
        std::ifstream file("/proc/self/fd/" + std::to_string(m_file.get()));
        return {std::istreambuf_iterator<char>(file), {}};
    }

private:
    UniqueFd m_file{::memfd_create("child-output", MFD_CLOEXEC)};
};

struct CommandResult final
{
    int exitCode = -1;  // -1 when the program could not be started
    std::string output; // standard output and standard error together
};

inline CommandResult runCommand(const std::vector<std::string>& arguments)
{
    const OutputCapture output;
    LaunchOptions options;
    options.arguments = arguments;
    options.outputFd = output.fd();
    const int exitCode = ChildProcess(options).wait();
    return {exitCode, output.text()};
}

} // namespace tavolix::test

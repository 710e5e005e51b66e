#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
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

// A process the test started, ended (SIGTERM) and reaped on destruction so
// that no test leaves one behind. After a signal, the exit code is 128 + it.
class ChildProcess final
{
public:
    explicit ChildProcess(const LaunchOptions& options);
    ~ChildProcess() { terminate(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    std::optional<int> poll() { return reap(WNOHANG); } // the exit code once it has ended
    int wait() { return reap(0).value_or(-1); }         // -1 if it never started
    // Against a hanging process: the test fails and cleans up instead of
    // being killed from outside.
    std::optional<int> waitAtMost(std::chrono::milliseconds guard);
    int terminate(); // SIGTERM unless it has ended, then wait()

private:
    std::optional<int> reap(int flags);

    pid_t m_pid = -1;
    std::optional<int> m_status;
};

struct CommandResult final
{
    int exitCode = -1;  // -1 when the program could not be started
    std::string output; // standard output and standard error together
};

CommandResult runCommand(const std::vector<std::string>& arguments);

// The full path of a program in $PATH or the sbin folders; empty if none.
std::string findProgram(const std::string& name);

} // namespace tavolix::test

#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tavolix::test {

struct LaunchOptions final
{
    // arguments[0] is the program: a path, or a name looked up in PATH.
    std::vector<std::string> arguments;
    // Nothing: the test's own environment.
    std::optional<std::vector<std::string>> environment;
    std::string workingDirectory; // empty: the test's own
    std::string networkNamespace; // a name under /run/netns; empty: the calling thread's
    // Standard output goes to outputFd when it is set, else is appended to
    // outputFile, else to /dev/null.
    int outputFd = -1;
    std::string outputFile;
    bool errorsToOutput = true;   // false: standard error stays the test's own
    std::string errorFile;        // set: standard error is appended to it instead
    std::string inputFile;        // set: standard input reads it; else /dev/null
    int inheritedDescriptor = -1; // kept open across exec
};

// A process the test started. Ended (SIGTERM) and reaped on destruction,
// so no test leaves a process behind.
class ChildProcess final
{
public:
    explicit ChildProcess(const LaunchOptions& options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    // The exit code if it has ended (128 + signal number after a signal).
    std::optional<int> poll();
    // Blocks until it has ended; -1 if it never started.
    int wait();
    // Blocks until it has ended or `guard` has passed: a guard against a
    // hanging process, so that a test fails and cleans up instead of
    // being killed from outside.
    std::optional<int> waitAtMost(std::chrono::milliseconds guard);
    // SIGTERM unless it has ended already, then its exit code.
    int terminate();

private:
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

struct CommandResult final
{
    int exitCode = -1;  // -1 when the program could not be started
    std::string output; // standard output and standard error together
};

// Runs a program to its end and collects what it printed.
CommandResult runCommand(const std::vector<std::string>& arguments);

// The full path of a program found in $PATH or the sbin folders; empty if none.
std::string findProgram(const std::string& name);

} // namespace tavolix::test

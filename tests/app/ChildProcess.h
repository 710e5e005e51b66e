#pragma once

#include <QtGlobal>
#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tavolix::test {

struct LaunchOptions final
{
    std::vector<std::string> arguments; // arguments[0] is the program's path
    std::vector<std::string> environment;
    std::string workingDirectory; // empty: the test's own
    std::string networkNamespace; // empty: the test's own
    std::string outputFile;       // stdout and stderr; empty: /dev/null
    int inheritedDescriptor = -1; // kept open across exec
};

// A process the test started. Ended (SIGTERM) and reaped on destruction,
// so no test leaves a process behind.
class ChildProcess final
{
public:
    explicit ChildProcess(const LaunchOptions& options);
    ~ChildProcess();
    Q_DISABLE_COPY_MOVE(ChildProcess)

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    // The exit code if it has ended (128 + signal number after a signal).
    std::optional<int> poll();
    // Blocks until it has ended.
    int wait();
    // Blocks until it has ended or `guard` has passed: a guard against a
    // hanging process, so that a test fails and cleans up instead of
    // being killed from outside.
    std::optional<int> waitAtMost(std::chrono::milliseconds guard);
    int terminate();

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// Runs a program to its end and returns its exit code.
int runToEnd(const std::vector<std::string>& arguments);

// The full path of a program found in $PATH or the sbin folders; empty if none.
std::string findProgram(const std::string& name);

} // namespace tavolix::test

#include "ChildProcess.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace tavolix::test {
namespace {

std::vector<char*> pointersTo(std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
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
    // Everything the child needs is prepared before fork: after it only
    // async-signal-safe calls are allowed.
    std::vector<std::string> arguments = options.arguments;
    std::vector<std::string> environment = options.environment;
    std::vector<char*> argv = pointersTo(arguments);
    std::vector<char*> envp = pointersTo(environment);
    const std::string outputPath = options.outputFile.empty() ? "/dev/null" : options.outputFile;

    int namespaceFd = -1;
    if (!options.networkNamespace.empty()) {
        const std::string path = "/run/netns/" + options.networkNamespace;
        namespaceFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (namespaceFd < 0)
            return;
    }

    pid_ = ::fork();
    if (pid_ == 0) {
        if (namespaceFd >= 0 && ::setns(namespaceFd, CLONE_NEWNET) != 0)
            ::_exit(126);
        if (!options.workingDirectory.empty() && ::chdir(options.workingDirectory.c_str()) != 0)
            ::_exit(126);
        const int output = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        const int input = ::open("/dev/null", O_RDONLY);
        if (output < 0 || input < 0)
            ::_exit(126);
        ::dup2(input, STDIN_FILENO);
        ::dup2(output, STDOUT_FILENO);
        ::dup2(output, STDERR_FILENO);
        if (options.inheritedDescriptor >= 0)
            ::fcntl(options.inheritedDescriptor, F_SETFD, 0);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    if (namespaceFd >= 0)
        ::close(namespaceFd);
}

ChildProcess::~ChildProcess()
{
    terminate();
}

std::optional<int> ChildProcess::poll()
{
    if (status_ || pid_ <= 0)
        return status_;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_)
        status_ = exitCodeOf(status);
    return status_;
}

int ChildProcess::wait()
{
    if (pid_ <= 0)
        return -1;
    while (!status_) {
        int status = 0;
        const pid_t result = ::waitpid(pid_, &status, 0);
        if (result == pid_)
            status_ = exitCodeOf(status);
        else if (result < 0 && errno != EINTR)
            status_ = -1;
    }
    return *status_;
}

std::optional<int> ChildProcess::waitAtMost(std::chrono::milliseconds guard)
{
    const auto end = std::chrono::steady_clock::now() + guard;
    while (!poll() && pid_ > 0 && std::chrono::steady_clock::now() < end)
        ::usleep(20'000);
    return poll();
}

int ChildProcess::terminate()
{
    if (pid_ <= 0)
        return -1;
    if (!poll())
        ::kill(pid_, SIGTERM);
    return wait();
}

int runToEnd(const std::vector<std::string>& arguments)
{
    LaunchOptions options;
    options.arguments = arguments;
    ChildProcess process(options);
    return process.wait();
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

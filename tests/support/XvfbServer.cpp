#include "XvfbServer.h"

#include "UniqueFd.h"

#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace tavolix::test {
namespace {

constexpr int firstDisplay = 90;
constexpr int lastDisplay = 189;

bool displayLooksTaken(int number)
{
    const std::string n = std::to_string(number);
    return std::filesystem::exists("/tmp/.X11-unix/X" + n) ||
           std::filesystem::exists("/tmp/.X" + n + "-lock");
}

// Xvfb writes the display number to the descriptor once it accepts
// connections, and the descriptor reaches end of file if it gives up.
std::string readReadyLine(int fd)
{
    std::string line;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        line.push_back(c);
    return line;
}

} // namespace

XvfbServer::XvfbServer(const std::string& networkNamespace)
{
    const std::string xvfb = findProgram("Xvfb");
    if (xvfb.empty()) {
        m_problem = "Xvfb is not installed";
        return;
    }
    for (int number = firstDisplay; number <= lastDisplay; ++number) {
        if (displayLooksTaken(number))
            continue;
        int ends[2] = {-1, -1};
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            m_problem = "cannot make a pipe";
            return;
        }
        UniqueFd readEnd(ends[0]);
        UniqueFd writeEnd(ends[1]);

        LaunchOptions options;
        // -noreset: without it the server restarts whenever its last client
        // leaves, and refuses connections meanwhile.
        options.arguments = {xvfb,         ":" + std::to_string(number),
                             "-nolisten",  "tcp",
                             "-noreset",   "-screen",
                             "0",          "1024x768x24",
                             "-displayfd", std::to_string(writeEnd.get())};
        options.environment = std::vector<std::string>{"PATH=/usr/bin:/bin"};
        options.networkNamespace = networkNamespace;
        options.inheritedDescriptor = writeEnd.get();
        auto process = std::make_unique<ChildProcess>(options);
        writeEnd.reset();
        if (!process->started()) {
            m_problem = "cannot start Xvfb";
            return;
        }
        if (readReadyLine(readEnd.get()) == std::to_string(number)) {
            m_process = std::move(process);
            m_displayName = ":" + std::to_string(number);
            return;
        }
        // Taken meanwhile by someone else: the server ends by itself.
        const int exitCode = process->wait();
        if (exitCode == 126 || exitCode == 127) {
            m_problem = "cannot run Xvfb (in namespace '" + networkNamespace + "')";
            return;
        }
    }
    m_problem = "no free X display between :90 and :189";
}

XvfbServer::~XvfbServer() = default;

} // namespace tavolix::test

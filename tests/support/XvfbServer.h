#pragma once

#include "ChildProcess.h"
#include "UniqueFd.h"

#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace tavolix::test {

// An Xvfb server of the test's own on the first free display from :90 up,
// ready for connections once constructed; ended on destruction.
class XvfbServer final
{
public:
    // An empty namespace name runs it in the test's own network namespace.
    explicit XvfbServer(const std::string& networkNamespace = {})
    {
        const std::string xvfb = findProgram("Xvfb");
        m_problem = xvfb.empty() ? "Xvfb is not installed" : "no free X display from :90 to :189";
        for (int number = 90; number <= 189 && !xvfb.empty(); ++number) {
            const std::string n = std::to_string(number);
            if (std::filesystem::exists("/tmp/.X11-unix/X" + n) ||
                std::filesystem::exists("/tmp/.X" + n + "-lock"))
                continue;
            int ends[2] = {-1, -1};
            if (::pipe2(ends, O_CLOEXEC) != 0)
                return;
            const UniqueFd readEnd(ends[0]);
            UniqueFd writeEnd(ends[1]);
            // -noreset: else the server restarts whenever its last client leaves,
            // refusing connections meanwhile. It writes the display number to
            // -displayfd once it accepts connections, or closes it on giving up.
            LaunchOptions options;
            options.arguments = {
                xvfb,      ":" + n, "-nolisten",   "tcp",        "-noreset",
                "-screen", "0",     "1024x768x24", "-displayfd", std::to_string(writeEnd.get())};
            options.environment = std::vector<std::string>{"PATH=/usr/bin:/bin"};
            options.networkNamespace = networkNamespace;
            options.inheritedDescriptor = writeEnd.get();
            auto process = std::make_unique<ChildProcess>(options);
            writeEnd.reset();
            std::string line;
            for (char c = 0; ::read(readEnd.get(), &c, 1) == 1 && c != '\n';)
                line.push_back(c);
            if (line == n) {
                m_process = std::move(process);
                m_displayName = ":" + n;
                m_problem.clear();
                return;
            }
            // Taken meanwhile by someone else: the server ends by itself.
            if (const int exitCode = process->wait(); exitCode < 0 || exitCode == 126 || exitCode == 127) {
                m_problem = "cannot run Xvfb (in namespace '" + networkNamespace + "')";
                return;
            }
        }
    }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool isRunning() const { return m_process != nullptr; }
    const std::string& displayName() const { return m_displayName; }
    const std::string& problem() const { return m_problem; }

private:
    std::unique_ptr<ChildProcess> m_process;
    std::string m_displayName;
    std::string m_problem;
};

} // namespace tavolix::test

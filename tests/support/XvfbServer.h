#pragma once

#include "ChildProcess.h"
#include "UniqueFd.h"

#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>

namespace tavolix::test {

// The test's own Xvfb on a free display, ready once constructed, ended on destruction.
class XvfbServer final
{
public:
    explicit XvfbServer(const std::string& networkNamespace = {})
    {
        int ends[2] = {-1, -1};
        if (findProgram("Xvfb").empty() || ::pipe2(ends, O_CLOEXEC) != 0) {
            m_problem = "Xvfb is not installed";
            return;
        }
        const UniqueFd readEnd(ends[0]);
        UniqueFd writeEnd(ends[1]);
        // -noreset: else the server restarts whenever its last client leaves,
        // refusing connections meanwhile. It takes the first display free of a
        // lock file and writes its number to -displayfd once it accepts
        // connections, or closes it on giving up.
        LaunchOptions options;
        options.arguments = {"Xvfb",        "-nolisten",  "tcp",
                             "-noreset",    "-screen",    "0",
                             "1024x768x24", "-displayfd", std::to_string(writeEnd.get())};
        options.environment = std::vector<std::string>{"PATH=/usr/bin:/bin"};
        options.networkNamespace = networkNamespace;
        options.inheritedDescriptor = writeEnd.get();
        auto process = std::make_unique<ChildProcess>(options);
        writeEnd.reset();
        std::string number;
        for (char c = 0; ::read(readEnd.get(), &c, 1) == 1 && c != '\n';)
            number.push_back(c);
        if (number.empty()) {
            m_problem = "Xvfb did not start (in namespace '" + networkNamespace + "')";
            return;
        }
        m_process = std::move(process);
        m_displayName = ":" + number;
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

#pragma once

#include "ChildProcess.h"

#include <memory>
#include <string>

namespace tavolix::test {

// An Xvfb server of the test's own on the first free display from :90 up,
// ready for connections once constructed; ended on destruction.
class XvfbServer final
{
public:
    // An empty namespace name runs it in the test's own network namespace.
    explicit XvfbServer(const std::string& networkNamespace = {});
    ~XvfbServer();
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

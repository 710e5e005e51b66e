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

    bool isRunning() const { return process_ != nullptr; }
    const std::string& displayName() const { return displayName_; }
    const std::string& problem() const { return problem_; }

private:
    std::unique_ptr<ChildProcess> process_;
    std::string displayName_;
    std::string problem_;
};

} // namespace tavolix::test

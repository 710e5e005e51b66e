#pragma once

#include <QtGlobal>
#include <string>

namespace tavolix::test {

// A network namespace of the test's own with only the loopback link up;
// deleted on destruction. Needs root and iproute2.
class NetworkNamespace final
{
public:
    NetworkNamespace();
    ~NetworkNamespace();
    Q_DISABLE_COPY_MOVE(NetworkNamespace)

    bool isReady() const { return ready_; }
    const std::string& name() const { return name_; }
    // Why it is not ready.
    const std::string& problem() const { return problem_; }

private:
    std::string ip_;
    std::string name_;
    bool created_ = false;
    bool ready_ = false;
    std::string problem_;
};

} // namespace tavolix::test

#include "NetworkNamespace.h"

#include "ChildProcess.h"

#include <unistd.h>

namespace tavolix::test {

NetworkNamespace::NetworkNamespace()
    : ip_(findProgram("ip")), name_("tvx-app-" + std::to_string(::getpid()))
{
    if (::geteuid() != 0) {
        problem_ = "network namespaces need root";
        return;
    }
    if (ip_.empty()) {
        problem_ = "the ip program (iproute2) is not installed";
        return;
    }
    if (runToEnd({ip_, "netns", "add", name_}) != 0) {
        problem_ = "ip netns add " + name_ + " failed";
        return;
    }
    created_ = true;
    if (runToEnd({ip_, "-n", name_, "link", "set", "lo", "up"}) != 0) {
        problem_ = "cannot bring up the loopback link in " + name_;
        return;
    }
    ready_ = true;
}

NetworkNamespace::~NetworkNamespace()
{
    if (created_)
        runToEnd({ip_, "netns", "del", name_});
}

} // namespace tavolix::test

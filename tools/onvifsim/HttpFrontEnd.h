#pragma once

#include "UniqueFd.h"

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

struct MHD_Daemon;

namespace tavolix::onvifsim {

class SimFleet;

// The cameras' HTTP side: one libmicrohttpd daemon driven from the
// simulator's loop, fed by our own listening sockets (one per port in use,
// on every address), so that a camera can move to a new port. Which camera
// answers is decided by the address and port the connection reached.
class HttpFrontEnd final
{
public:
    explicit HttpFrontEnd(SimFleet& fleet);
    ~HttpFrontEnd();
    HttpFrontEnd(const HttpFrontEnd&) = delete;
    HttpFrontEnd& operator=(const HttpFrontEnd&) = delete;

    bool start(std::string& error);
    // Opens listeners for new ports and closes those no camera uses.
    bool listenOn(const std::set<uint16_t>& ports, std::string& error);

    int daemonFd() const; // readable when the daemon has work
    std::vector<int> listenerFds() const;
    int timeoutMs() const; // until the daemon's next own work, -1: none
    void accept(int listenerFd);
    void run();

private:
    struct DaemonStop
    {
        void operator()(MHD_Daemon* daemon) const;
    };

    SimFleet& m_fleet;
    std::unique_ptr<MHD_Daemon, DaemonStop> m_daemon;
    std::map<uint16_t, UniqueFd> m_listeners;
};

} // namespace tavolix::onvifsim

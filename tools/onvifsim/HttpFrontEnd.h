#pragma once

#include "SelfSignedCertificate.h"
#include "SimFleet.h"
#include "UniqueFd.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct MHD_Daemon;
struct MHD_Connection;

namespace tavolix::onvifsim {

// The cameras' HTTP side: libmicrohttpd daemons (plain, and TLS with
// --https) driven from the simulator's loop, fed by our own listening
// sockets, one per camera address and port, so that a camera can move and
// another simulator in the same namespace can hold other addresses on the
// same port. Which camera answers is decided by the address and port the
// connection reached.
class HttpFrontEnd final
{
public:
    explicit HttpFrontEnd(SimFleet& fleet);
    ~HttpFrontEnd();
    HttpFrontEnd(const HttpFrontEnd&) = delete;
    HttpFrontEnd& operator=(const HttpFrontEnd&) = delete;

    // With a certificate, the TLS daemon starts too.
    bool start(const std::optional<PemPair>& tls, std::string& error);
    // Opens listeners for new addresses and ports, closes those no camera uses.
    bool listenOn(const std::set<HttpListener>& wanted, std::string& error);
    // Listens where a staged change takes a camera before its reply goes
    // out: a client calls it there next at once.
    void listenAhead();

    SimFleet& fleet() { return m_fleet; }

    // Holds a connection back until `due` (--answer-delay, --trickle), or
    // for good (--never-answer: time_point::max()).
    void park(MHD_Connection* connection, std::chrono::steady_clock::time_point due);

    std::vector<int> daemonFds() const; // readable when a daemon has work
    std::vector<int> listenerFds() const;
    int timeoutMs() const; // until a daemon's next own work, -1: none
    void accept(int listenerFd);
    void run();

private:
    struct DaemonStop
    {
        void operator()(MHD_Daemon* daemon) const;
    };

    using Daemon = std::unique_ptr<MHD_Daemon, DaemonStop>;

    SimFleet& m_fleet;
    std::optional<PemPair> m_tls; // the daemon reads the PEM texts while it runs
    Daemon m_plain;
    Daemon m_secure;
    std::map<HttpListener, UniqueFd> m_listeners;
    std::multimap<std::chrono::steady_clock::time_point, MHD_Connection*> m_parked;
};

} // namespace tavolix::onvifsim

#include "HttpFrontEnd.h"

#include "EndlessAnswer.h"
#include "SimFleet.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace tavolix::onvifsim {
namespace {

constexpr std::size_t maximumBody = 256 * 1024;
// A client reading a thousand cameras at once connects to them all at once:
// a short backlog would drop connections into the client's SYN retries.
constexpr int listenBacklog = SOMAXCONN;
// libmicrohttpd's own default is FD_SETSIZE - 4, too few for such a client.
constexpr unsigned maximumConnections = 16384;

using SteadyClock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds trickleGap{20};

// One request's state between the daemon's calls.
struct PendingRequest
{
    std::string body;
    bool tooLarge = false;
    SimCamera* commitAfterReply = nullptr;
    std::optional<HttpAnswer> answer; // made, and held back while the connection is parked
};

// An answer that goes out a few bytes at a time: the connection is parked after each.
struct Trickle
{
    std::string body;
    std::size_t bytes = 1;
    HttpFrontEnd* front = nullptr;
    MHD_Connection* connection = nullptr;
};

ssize_t readTrickle(void* state, uint64_t position, char* buffer, size_t most)
{
    auto* trickle = static_cast<Trickle*>(state);
    if (position >= trickle->body.size())
        return MHD_CONTENT_READER_END_OF_STREAM;
    const std::size_t length = std::min({trickle->bytes, most, trickle->body.size() - position});
    std::memcpy(buffer, trickle->body.data() + position, length);
    trickle->front->park(trickle->connection, SteadyClock::now() + trickleGap);
    return static_cast<ssize_t>(length);
}

bool localAddress(MHD_Connection* connection, Ipv4& address, uint16_t& port)
{
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (!info ||
        ::getsockname(info->connect_fd, reinterpret_cast<sockaddr*>(&local), &length) < 0 ||
        local.sin_family != AF_INET)
        return false;
    address = ntohl(local.sin_addr.s_addr);
    port = ntohs(local.sin_port);
    return true;
}

MHD_Result sendAnswer(MHD_Connection* connection, const HttpAnswer& answer, HttpFrontEnd& front)
{
    const std::size_t trickleBytes = static_cast<std::size_t>(front.fleet().options().trickleBytes);
    MHD_Response* response = nullptr;
    if (trickleBytes > 0) {
        auto trickle =
            std::make_unique<Trickle>(Trickle{answer.body, trickleBytes, &front, connection});
        response = MHD_create_response_from_callback(
            answer.body.size(), trickleBytes, &readTrickle, trickle.get(),
            [](void* state) { delete static_cast<Trickle*>(state); });
        if (response)
            static_cast<void>(trickle.release()); // the response's free callback owns it now
    } else {
        response = MHD_create_response_from_buffer(
            answer.body.size(), const_cast<char*>(answer.body.data()), MHD_RESPMEM_MUST_COPY);
    }
    if (!response)
        return MHD_NO;
    return queueResponse(connection, answer, response);
}

MHD_Result onRequest(void* frontEnd, MHD_Connection* connection, const char* path,
                     const char* method, const char*, const char* upload, size_t* uploadSize,
                     void** requestState)
{
    auto* request = static_cast<PendingRequest*>(*requestState);
    if (!request) {
        *requestState = std::make_unique<PendingRequest>().release(); // freed by onCompleted
        return MHD_YES;
    }
    if (*uploadSize != 0) {
        request->tooLarge = request->tooLarge || request->body.size() + *uploadSize > maximumBody;
        if (!request->tooLarge)
            request->body.append(upload, *uploadSize);
        *uploadSize = 0;
        return MHD_YES;
    }
    auto* front = static_cast<HttpFrontEnd*>(frontEnd);
    SimFleet* fleet = &front->fleet();
    const OnvifSimOptions& options = fleet->options();
    if (request->answer) // back from being parked
        return sendAnswer(connection, *request->answer, *front);
    HttpAnswer answer;
    answer.headers.emplace_back("Date", httpDate(fleet->deviceNow()));
    Ipv4 address = 0;
    uint16_t port = 0;
    if (request->tooLarge) {
        answer.status = MHD_HTTP_CONTENT_TOO_LARGE;
    } else if (!localAddress(connection, address, port)) {
        answer.status = MHD_HTTP_INTERNAL_SERVER_ERROR;
    } else {
        const char* authorization =
            MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_AUTHORIZATION);
        answer = fleet->serve(address, port, method, path ? path : "", request->body,
                              authorization ? authorization : "");
        request->commitAfterReply = answer.commitAfterReply;
        if (answer.commitAfterReply)
            front->listenAhead();
    }
    if (!answer.endlessFor.empty())
        return queueEndlessAnswer(connection, answer, *fleet);
    if (options.neverAnswer || options.answerDelayMs > 0) {
        request->answer = std::move(answer);
        front->park(connection,
                    options.neverAnswer
                        ? SteadyClock::time_point::max()
                        : SteadyClock::now() + std::chrono::milliseconds(options.answerDelayMs));
        return MHD_YES;
    }
    return sendAnswer(connection, answer, *front);
}

// Once a reply is out, a change it announced takes effect. The daemon hands
// the request's state back here, the one place that frees it.
void onCompleted(void* fleetPointer, MHD_Connection*, void** requestState,
                 MHD_RequestTerminationCode termination)
{
    const std::unique_ptr<PendingRequest> request(static_cast<PendingRequest*>(*requestState));
    *requestState = nullptr;
    if (request && request->commitAfterReply && termination == MHD_REQUEST_TERMINATED_COMPLETED_OK)
        static_cast<SimFleet*>(fleetPointer)->commit(*request->commitAfterReply);
}

} // namespace

void HttpFrontEnd::DaemonStop::operator()(MHD_Daemon* daemon) const
{
    MHD_stop_daemon(daemon);
}

HttpFrontEnd::HttpFrontEnd(SimFleet& fleet) : m_fleet(fleet) {}

HttpFrontEnd::~HttpFrontEnd()
{
    // The daemons may stop only with no connection held back.
    for (const auto& [due, connection] : m_parked)
        MHD_resume_connection(connection);
}

void HttpFrontEnd::park(MHD_Connection* connection, SteadyClock::time_point due)
{
    MHD_suspend_connection(connection);
    m_parked.emplace(due, connection);
}

bool HttpFrontEnd::start(const std::optional<PemPair>& tls, std::string& error)
{
    // The Date header is the devices' clock, not the host's: each answer carries its own.
    constexpr unsigned flags = MHD_USE_EPOLL | MHD_USE_NO_LISTEN_SOCKET |
                               MHD_USE_SUPPRESS_DATE_NO_CLOCK | MHD_ALLOW_SUSPEND_RESUME;
    m_plain.reset(MHD_start_daemon(
        flags, 0, nullptr, nullptr, &onRequest, this, MHD_OPTION_NOTIFY_COMPLETED, &onCompleted,
        &m_fleet, MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned>(30),
        MHD_OPTION_CONNECTION_LIMIT, maximumConnections, MHD_OPTION_END));
    if (!m_plain) {
        error = "libmicrohttpd would not start";
        return false;
    }
    if (!tls)
        return true;
    m_tls = tls;
    m_secure.reset(MHD_start_daemon(
        flags | MHD_USE_TLS, 0, nullptr, nullptr, &onRequest, this, MHD_OPTION_NOTIFY_COMPLETED,
        &onCompleted, &m_fleet, MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned>(30),
        MHD_OPTION_CONNECTION_LIMIT, maximumConnections, MHD_OPTION_HTTPS_MEM_KEY,
        m_tls->key.c_str(), MHD_OPTION_HTTPS_MEM_CERT, m_tls->certificate.c_str(), MHD_OPTION_END));
    if (!m_secure)
        error = "libmicrohttpd would not start with TLS";
    return m_secure != nullptr;
}

bool HttpFrontEnd::listenOn(const std::set<HttpListener>& wanted, std::string& error)
{
    std::erase_if(m_listeners, [&](const auto& entry) { return !wanted.contains(entry.first); });
    for (const HttpListener& listener : wanted) {
        if (m_listeners.contains(listener))
            continue;
        UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        const int on = 1;
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(listener.address);
        local.sin_port = htons(listener.port);
        // IP_FREEBIND: an address that is not (yet) on an interface still
        // gets its listener; connections reach it once it is.
        if (!socket || ::setsockopt(socket.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0 ||
            ::setsockopt(socket.get(), IPPROTO_IP, IP_FREEBIND, &on, sizeof on) < 0 ||
            ::bind(socket.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) < 0 ||
            ::listen(socket.get(), listenBacklog) < 0) {
            error = "listen on " + ipv4Text(listener.address) + ":" +
                    std::to_string(listener.port) + ": " + std::strerror(errno);
            return false;
        }
        m_listeners.emplace(listener, std::move(socket));
    }
    return true;
}

void HttpFrontEnd::listenAhead()
{
    std::string error;
    listenOn(m_fleet.listeners(), error); // a failure shows when the loop listens after the move
}

std::vector<int> HttpFrontEnd::daemonFds() const
{
    std::vector<int> fds;
    for (MHD_Daemon* daemon : {m_plain.get(), m_secure.get()}) {
        const MHD_DaemonInfo* info =
            daemon ? MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_EPOLL_FD) : nullptr;
        if (info)
            fds.push_back(info->epoll_fd);
    }
    return fds;
}

std::vector<int> HttpFrontEnd::listenerFds() const
{
    std::vector<int> fds;
    for (const auto& [port, listener] : m_listeners)
        fds.push_back(listener.get());
    return fds;
}

int HttpFrontEnd::timeoutMs() const
{
    int nearest = -1;
    for (MHD_Daemon* daemon : {m_plain.get(), m_secure.get()}) {
        MHD_UNSIGNED_LONG_LONG timeout = 0;
        if (!daemon || MHD_get_timeout(daemon, &timeout) != MHD_YES)
            continue;
        const int ms = static_cast<int>(std::min<MHD_UNSIGNED_LONG_LONG>(timeout, 60'000));
        nearest = nearest < 0 ? ms : std::min(nearest, ms);
    }
    if (!m_parked.empty() && m_parked.begin()->first != SteadyClock::time_point::max()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(m_parked.begin()->first -
                                                                       SteadyClock::now());
        const int ms = static_cast<int>(std::clamp<long long>(left.count(), 0, 60'000));
        nearest = nearest < 0 ? ms : std::min(nearest, ms);
    }
    return nearest;
}

void HttpFrontEnd::accept(int listenerFd)
{
    const auto listener = std::find_if(m_listeners.begin(), m_listeners.end(),
                                       [&](const auto& e) { return e.second.get() == listenerFd; });
    if (listener == m_listeners.end())
        return;
    MHD_Daemon* daemon = listener->first.tls ? m_secure.get() : m_plain.get();
    while (daemon) {
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        const int connection = ::accept4(listenerFd, reinterpret_cast<sockaddr*>(&peer), &length,
                                         SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (connection < 0)
            return;
        // The daemon owns the descriptor from here, and closes it even on failure.
        MHD_add_connection(daemon, connection, reinterpret_cast<const sockaddr*>(&peer), length);
    }
}

void HttpFrontEnd::run()
{
    const auto now = SteadyClock::now();
    while (!m_parked.empty() && m_parked.begin()->first <= now) {
        MHD_resume_connection(m_parked.begin()->second);
        m_parked.erase(m_parked.begin());
    }
    for (MHD_Daemon* daemon : {m_plain.get(), m_secure.get()}) {
        if (daemon)
            MHD_run(daemon);
    }
}

} // namespace tavolix::onvifsim

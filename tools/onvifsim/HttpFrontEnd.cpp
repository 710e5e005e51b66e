#include "HttpFrontEnd.h"

#include "SimFleet.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <microhttpd.h>
#include <sys/socket.h>

namespace tavolix::onvifsim {
namespace {

constexpr std::size_t maximumBody = 256 * 1024;
// A client reading a thousand cameras at once connects to them all at once:
// a short backlog would drop connections into the client's SYN retries.
constexpr int listenBacklog = SOMAXCONN;
// libmicrohttpd's own default is FD_SETSIZE - 4, too few for such a client.
constexpr unsigned maximumConnections = 16384;

// One request's state between the daemon's calls.
struct PendingRequest
{
    std::string body;
    bool tooLarge = false;
    SimCamera* commitAfterReply = nullptr;
};

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

MHD_Result sendAnswer(MHD_Connection* connection, const HttpAnswer& answer)
{
    MHD_Response* response = MHD_create_response_from_buffer(
        answer.body.size(), const_cast<char*>(answer.body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.contentType.c_str());
    const MHD_Result queued = MHD_queue_response(connection, answer.status, response);
    MHD_destroy_response(response);
    return queued;
}

MHD_Result onRequest(void* fleetPointer, MHD_Connection* connection, const char* path,
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
    HttpAnswer answer;
    Ipv4 address = 0;
    uint16_t port = 0;
    if (request->tooLarge) {
        answer.status = MHD_HTTP_CONTENT_TOO_LARGE;
    } else if (!localAddress(connection, address, port)) {
        answer.status = MHD_HTTP_INTERNAL_SERVER_ERROR;
    } else {
        answer = static_cast<SimFleet*>(fleetPointer)
                     ->serve(address, port, method, path ? path : "", request->body);
        request->commitAfterReply = answer.commitAfterReply;
    }
    return sendAnswer(connection, answer);
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

HttpFrontEnd::~HttpFrontEnd() = default;

bool HttpFrontEnd::start(std::string& error)
{
    m_daemon.reset(MHD_start_daemon(MHD_USE_EPOLL | MHD_USE_NO_LISTEN_SOCKET, 0, nullptr, nullptr,
                                    &onRequest, &m_fleet, MHD_OPTION_NOTIFY_COMPLETED, &onCompleted,
                                    &m_fleet, MHD_OPTION_CONNECTION_TIMEOUT,
                                    static_cast<unsigned>(30), MHD_OPTION_CONNECTION_LIMIT,
                                    maximumConnections, MHD_OPTION_END));
    if (!m_daemon)
        error = "libmicrohttpd would not start";
    return m_daemon != nullptr;
}

bool HttpFrontEnd::listenOn(const std::set<uint16_t>& ports, std::string& error)
{
    std::erase_if(m_listeners, [&](const auto& entry) { return !ports.contains(entry.first); });
    for (const uint16_t port : ports) {
        if (m_listeners.contains(port))
            continue;
        UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        const int on = 1;
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_port = htons(port);
        if (!listener ||
            ::setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0 ||
            ::bind(listener.get(), reinterpret_cast<const sockaddr*>(&any), sizeof any) < 0 ||
            ::listen(listener.get(), listenBacklog) < 0) {
            error = "listen on port " + std::to_string(port) + ": " + std::strerror(errno);
            return false;
        }
        m_listeners.emplace(port, std::move(listener));
    }
    return true;
}

int HttpFrontEnd::daemonFd() const
{
    const MHD_DaemonInfo* info = MHD_get_daemon_info(m_daemon.get(), MHD_DAEMON_INFO_EPOLL_FD);
    return info ? info->epoll_fd : -1;
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
    MHD_UNSIGNED_LONG_LONG timeout = 0;
    if (MHD_get_timeout(m_daemon.get(), &timeout) != MHD_YES)
        return -1;
    return static_cast<int>(std::min<MHD_UNSIGNED_LONG_LONG>(timeout, 60'000));
}

void HttpFrontEnd::accept(int listenerFd)
{
    while (true) {
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        const int connection = ::accept4(listenerFd, reinterpret_cast<sockaddr*>(&peer), &length,
                                         SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (connection < 0)
            return;
        // The daemon owns the descriptor from here, and closes it even on failure.
        MHD_add_connection(m_daemon.get(), connection, reinterpret_cast<const sockaddr*>(&peer),
                           length);
    }
}

void HttpFrontEnd::run()
{
    MHD_run(m_daemon.get());
}

} // namespace tavolix::onvifsim

#include "SignalCleanup.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <libmnl/libmnl.h>
#include <linux/netlink.h>
#include <sys/socket.h>

namespace tavolix::adopt {
namespace {

constexpr std::array handledSignals{SIGINT, SIGTERM, SIGHUP};

struct PreparedRemoval
{
    std::atomic<bool> armed{false};
    HostAddress address;
    std::size_t length = 0;
    alignas(nlmsghdr) std::array<char, addressMessageSize> message{};
};

// Static storage: the handler reaches it without a pointer to anything that may be going.
std::array<PreparedRemoval, signalTableSize> removals;
mnl_socket* handlerSocket = nullptr;
std::array<char, PATH_MAX> journalPath{};
std::array<struct sigaction, handledSignals.size()> previousActions{};
std::atomic<bool> installed{false};

// Whether the kernel acknowledged the removal, or said that the address was gone already.
bool acknowledged(int socket)
{
    alignas(nlmsghdr) std::array<char, 512> answer{};
    const ssize_t received = ::recv(socket, answer.data(), answer.size(), MSG_DONTWAIT);
    if (received < static_cast<ssize_t>(sizeof(nlmsghdr) + sizeof(nlmsgerr)))
        return false;
    const auto* header = reinterpret_cast<const nlmsghdr*>(answer.data());
    if (header->nlmsg_type != NLMSG_ERROR)
        return false;
    const auto* error = static_cast<const nlmsgerr*>(mnl_nlmsg_get_payload(header));
    return error->error == 0 || error->error == -EADDRNOTAVAIL;
}

extern "C" void removeAndEnd(int signal)
{
    const int savedError = errno;
    const int socket = mnl_socket_get_fd(handlerSocket);
    bool allRemoved = true;
    for (const PreparedRemoval& removal : removals) {
        if (!removal.armed.load(std::memory_order_acquire))
            continue;
        allRemoved = ::send(socket, removal.message.data(), removal.length, 0) >= 0 &&
                     acknowledged(socket) && allRemoved;
    }
    // What could not be removed stays in the journal, for the next run.
    if (allRemoved && journalPath[0] != '\0')
        ::unlink(journalPath.data());
    struct sigaction defaults
    {};
    defaults.sa_handler = SIG_DFL;
    ::sigaction(signal, &defaults, nullptr);
    errno = savedError;
    ::raise(signal); // delivered when the handler returns, now ending the process
}

// Table changes with the handled signals blocked on this thread, so that its handler never
// sees half of one.
class BlockedSignals final
{
public:
    BlockedSignals()
    {
        sigset_t blocked;
        sigemptyset(&blocked);
        for (const int signal : handledSignals)
            sigaddset(&blocked, signal);
        pthread_sigmask(SIG_BLOCK, &blocked, &m_previous);
    }
    ~BlockedSignals() { pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
    BlockedSignals(const BlockedSignals&) = delete;
    BlockedSignals& operator=(const BlockedSignals&) = delete;

private:
    sigset_t m_previous;
};

} // namespace

Result<std::unique_ptr<SignalCleanup>> SignalCleanup::install(const std::string& journal)
{
    if (journal.size() >= journalPath.size())
        return systemFailure("journal path too long: " + journal);
    if (installed.exchange(true))
        return systemFailure("temporary addresses are already being kept by this process");
    handlerSocket = mnl_socket_open2(NETLINK_ROUTE, SOCK_CLOEXEC);
    if (handlerSocket == nullptr || mnl_socket_bind(handlerSocket, 0, MNL_SOCKET_AUTOPID) < 0) {
        const int error = errno;
        if (handlerSocket != nullptr)
            mnl_socket_close(handlerSocket);
        handlerSocket = nullptr;
        installed = false;
        return systemCallFailure("cannot open a netlink socket", error);
    }
    const BlockedSignals blocked;
    std::memcpy(journalPath.data(), journal.c_str(), journal.size() + 1);
    struct sigaction action
    {};
    action.sa_handler = removeAndEnd;
    sigemptyset(&action.sa_mask);
    for (const int signal : handledSignals)
        sigaddset(&action.sa_mask, signal); // one signal's cleanup is not cut short by another
    for (std::size_t i = 0; i < handledSignals.size(); ++i)
        ::sigaction(handledSignals[i], &action, &previousActions[i]);
    return std::unique_ptr<SignalCleanup>(new SignalCleanup);
}

SignalCleanup::~SignalCleanup()
{
    {
        const BlockedSignals blocked;
        for (std::size_t i = 0; i < handledSignals.size(); ++i)
            ::sigaction(handledSignals[i], &previousActions[i], nullptr);
        for (PreparedRemoval& removal : removals)
            removal.armed = false;
        journalPath[0] = '\0';
    }
    mnl_socket_close(handlerSocket);
    handlerSocket = nullptr;
    installed = false;
}

Result<> SignalCleanup::arm(const HostAddress& address)
{
    const BlockedSignals blocked;
    for (PreparedRemoval& removal : removals) {
        if (removal.armed.load(std::memory_order_relaxed))
            continue;
        removal.address = address;
        removal.length =
            NetlinkAddresses::writeRemoval(address, removal.message.data(), removal.message.size());
        removal.armed.store(true, std::memory_order_release);
        return Done{};
    }
    return refused("more than " + std::to_string(signalTableSize) +
                   " temporary addresses at once: no more are added");
}

void SignalCleanup::disarm(const HostAddress& address)
{
    const BlockedSignals blocked;
    for (PreparedRemoval& removal : removals) {
        if (removal.armed.load(std::memory_order_relaxed) && removal.address == address)
            removal.armed.store(false, std::memory_order_release);
    }
}

} // namespace tavolix::adopt

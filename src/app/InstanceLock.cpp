#include "InstanceLock.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace tavolix {
namespace {

using namespace std::chrono_literals;

// Long enough for the running instance to get as far as listening, and to
// answer while its window thread is busy.
constexpr auto handOverPatience = 10s;
constexpr std::size_t longestRequest = 1024;
constexpr char answer[] = "ok\n";

// An activation token is printable ASCII; anything else is not passed on.
bool isPlausibleToken(const QByteArray& token)
{
    if (token.size() >= static_cast<qsizetype>(longestRequest))
        return false;
    return std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c < 0x7f; });
}

bool writeAll(int fd, const QByteArray& bytes)
{
    for (qsizetype sent = 0; sent < bytes.size();) {
        const ssize_t n = ::send(fd, bytes.constData() + sent,
                                 static_cast<std::size_t>(bytes.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

sockaddr_un socketAddress(const QByteArray& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    return address;
}

// One later start's request: one line, its activation token or nothing. The
// answer tells the later start that it may end; then the socket is closed.
class Request final : public QObject
{
public:
    Request(UniqueFd fd, InstanceLock& lock)
        : QObject(&lock), m_fd(std::move(fd)), m_notifier(m_fd.get(), QSocketNotifier::Read)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, [this, &lock] { readFrom(lock); });
    }
    Q_DISABLE_COPY_MOVE(Request)

private:
    void readFrom(InstanceLock& lock)
    {
        char chunk[longestRequest];
        ssize_t n = 1;
        // Never more than one request's worth, whatever a client keeps sending.
        while (m_received.size() < static_cast<qsizetype>(longestRequest) &&
               (n = ::recv(m_fd.get(), chunk, sizeof chunk, MSG_DONTWAIT)) > 0)
            m_received.append(chunk, n);
        const bool ended =
            n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
        const qsizetype newline = m_received.indexOf('\n');
        if (newline < 0) {
            // Nothing more will come, or too much: the start gets no answer.
            if (ended || m_received.size() >= static_cast<qsizetype>(longestRequest))
                finish();
            return;
        }
        // As a line read with room for longestRequest - 1 bytes.
        const QByteArray token =
            m_received.left(std::min(newline + 1, static_cast<qsizetype>(longestRequest) - 1))
                .trimmed();
        emit lock.comeForwardRequested(isPlausibleToken(token) ? token : QByteArray());
        writeAll(m_fd.get(), QByteArray::fromRawData(answer, sizeof answer - 1));
        finish();
    }

    void finish()
    {
        m_notifier.setEnabled(false);
        deleteLater();
    }

    UniqueFd m_fd;
    // Declared after the socket, so it goes first.
    QSocketNotifier m_notifier;
    QByteArray m_received;
};

} // namespace

InstanceLock::InstanceLock(const QString& runtimeFolder)
{
    if (runtimeFolder.isEmpty() || !QDir::isAbsolutePath(runtimeFolder))
        return;
    const QDir folder(runtimeFolder);
    const QString socketPath = folder.filePath(QStringLiteral("tavolix.socket"));
    // A socket path must fit its address; where it cannot, neither can a
    // later start reach this one, so there is no lock either.
    if (static_cast<std::size_t>(QFile::encodeName(socketPath).size()) >=
        sizeof(sockaddr_un::sun_path))
        return;
    m_lockPath = folder.filePath(QStringLiteral("tavolix.lock"));
    m_socketPath = socketPath;
}

// The socket is removed while the lock is still held.
InstanceLock::~InstanceLock()
{
    m_serverNotifier.reset();
    if (m_serverFd)
        ::unlink(QFile::encodeName(m_socketPath).constData());
}

InstanceLock::Outcome InstanceLock::takeOrHandOver(const QByteArray& activationToken)
{
    const QByteArray token = isPlausibleToken(activationToken) ? activationToken : QByteArray();
    const auto giveUp = std::chrono::steady_clock::now() + handOverPatience;
    for (;;) {
        if (takeLock())
            return Outcome::First;
        switch (handOver(token)) {
        case HandOver::Answered:
            return Outcome::HandedOver;
        case HandOver::Unanswered:
            return Outcome::NoAnswer;
        case HandOver::NotListening:
            // The holder has not got as far as listening yet, or has just
            // ended: try both again.
            break;
        }
        if (std::chrono::steady_clock::now() > giveUp)
            return Outcome::NoAnswer;
        std::this_thread::sleep_for(50ms);
    }
}

// True when this start holds the lock, and also when there is no lock to
// take: then nothing can tell a first start from a later one.
bool InstanceLock::takeLock()
{
    if (m_lockPath.isEmpty())
        return true;
    const QByteArray path = QFile::encodeName(m_lockPath);
    UniqueFd fd(::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!fd)
        return true;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return errno != EWOULDBLOCK;
    m_lockFd = std::move(fd);
    return true;
}

InstanceLock::HandOver InstanceLock::handOver(const QByteArray& activationToken) const
{
    const sockaddr_un address = socketAddress(QFile::encodeName(m_socketPath));
    const UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket ||
        ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return HandOver::NotListening;
    if (!writeAll(socket.get(), activationToken + '\n'))
        return HandOver::Unanswered;

    pollfd ready{socket.get(), POLLIN, 0};
    const auto patience = std::chrono::milliseconds(handOverPatience).count();
    char reply[sizeof answer] = {};
    if (::poll(&ready, 1, static_cast<int>(patience)) != 1 ||
        ::recv(socket.get(), reply, sizeof answer - 1, MSG_WAITALL) !=
            static_cast<ssize_t>(sizeof answer - 1) ||
        std::strcmp(reply, answer) != 0)
        return HandOver::Unanswered;
    return HandOver::Answered;
}

bool InstanceLock::listen()
{
    if (!m_lockFd)
        return false;
    const QByteArray path = QFile::encodeName(m_socketPath);
    const sockaddr_un address = socketAddress(path);
    UniqueFd server(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    // Left behind by a holder that crashed; the lock says none is running.
    ::unlink(path.constData());
    if (!server ||
        ::bind(server.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return false;
    // Only this user may connect.
    if (::chmod(path.constData(), S_IRUSR | S_IWUSR) != 0 ||
        ::listen(server.get(), SOMAXCONN) != 0) {
        ::unlink(path.constData());
        return false;
    }
    m_serverFd = std::move(server);
    m_serverNotifier = std::make_unique<QSocketNotifier>(m_serverFd.get(), QSocketNotifier::Read);
    connect(m_serverNotifier.get(), &QSocketNotifier::activated, this,
            &InstanceLock::acceptRequests);
    return true;
}

void InstanceLock::acceptRequests()
{
    for (;;) {
        UniqueFd client(
            ::accept4(m_serverFd.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!client)
            return;
        new Request(std::move(client), *this); // owned by this lock, ends itself
    }
}

} // namespace tavolix

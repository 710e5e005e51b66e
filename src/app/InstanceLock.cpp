#include "InstanceLock.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
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

InstanceLock::~InstanceLock() = default;

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
    const QByteArray path = QFile::encodeName(m_socketPath);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));

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
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Left behind by a holder that crashed; the lock says none is running.
    QLocalServer::removeServer(m_socketPath);
    connect(m_server.get(), &QLocalServer::newConnection, this, &InstanceLock::serveRequests);
    return m_server->listen(m_socketPath);
}

// A request is one line: the activation token, or nothing. The answer tells
// the later start that it may end.
void InstanceLock::serveRequests()
{
    while (QLocalSocket* client = m_server->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] {
            if (!client->canReadLine()) {
                if (client->bytesAvailable() >= static_cast<qint64>(longestRequest))
                    client->abort();
                return;
            }
            const QByteArray token = client->readLine(longestRequest).trimmed();
            emit comeForwardRequested(isPlausibleToken(token) ? token : QByteArray());
            client->write(answer, sizeof answer - 1);
            client->disconnectFromServer();
        });
    }
}

} // namespace tavolix

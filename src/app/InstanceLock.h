#pragma once

#include "UniqueFd.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

class QSocketNotifier;

namespace tavolix {

// One instance per user where windows cannot be found by their title, as on
// Wayland: the first start holds a lock in the user's runtime folder and
// listens on a socket beside it; a later start hands its activation token to
// it there, waits for its answer and ends.
class InstanceLock final : public QObject
{
    Q_OBJECT

public:
    enum class Outcome
    {
        First,      // this start runs the program
        HandedOver, // the running instance was asked to come forward
        NoAnswer    // an instance holds the lock but never answered
    };

    // Without an absolute folder there is no lock, and every start is the first.
    explicit InstanceLock(const QString& runtimeFolder);
    ~InstanceLock() override;
    Q_DISABLE_COPY_MOVE(InstanceLock)

    // Before the application object exists: takes the lock, or asks the
    // instance that holds it to come forward.
    Outcome takeOrHandOver(const QByteArray& activationToken);
    // Once the application object exists: hears the starts that follow.
    bool listen();

signals:
    // A later start asks to come forward; its token may be empty.
    void comeForwardRequested(const QByteArray& activationToken);

private:
    enum class HandOver
    {
        NotListening,
        Answered,
        Unanswered
    };

    bool takeLock();
    HandOver handOver(const QByteArray& activationToken) const;
    void acceptRequests();

    QString m_lockPath;
    QString m_socketPath;
    UniqueFd m_lockFd;
    // A plain listening socket rather than QLocalServer: Qt Network and the
    // libraries it brings would be loaded at every start, on X11 too, where
    // this lock is never taken.
    UniqueFd m_serverFd;
    std::unique_ptr<QSocketNotifier> m_serverNotifier;
};

} // namespace tavolix

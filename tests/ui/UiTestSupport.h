#pragma once

#include "SearchDialog.h"

#include <QObject>
#include <QTemporaryDir>
#include <QUrl>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QListWidgetItem;

namespace tavolix::test {

// Serves window events until the condition holds; false after a generous
// limit, which only ever means it never came true.
bool waitUntil(const std::function<bool()>& condition, int limitMs = 10000);

// Runs work on its own thread while this thread serves its window calls.
void runOffWindowThread(const std::function<void()>& work);

// A device on loopback: receives what the worker sends and answers it.
class LoopbackDevice final
{
public:
    LoopbackDevice();
    ~LoopbackDevice();
    Q_DISABLE_COPY_MOVE(LoopbackDevice)

    uint16_t port() const { return m_port; }
    std::optional<std::vector<uint8_t>> nextDatagram(); // serves the window while it waits
    bool hasPendingDatagram() { return tryReceive().has_value(); }
    void reply(const std::vector<uint8_t>& datagram); // to the last sender

private:
    std::optional<std::vector<uint8_t>> tryReceive();

    int m_fd = -1;
    uint16_t m_port = 0;
    std::vector<uint8_t> m_workerAddress; // sockaddr_in bytes
};

struct FakeDevice
{
    int kind = 0;
    std::string name;
    std::string version = "1.2";
    std::array<uint8_t, 6> mac{};
    std::array<uint8_t, 4> ip{192, 168, 1, 10};
    int httpPort = 80;
    std::array<uint8_t, 4> networkMode{0xFF, 0xFF, 0xFF, 0xFF};
    std::string pppoeAccount;
};

// The reply such a device sends; mask 255.255.255.0, gateway 192.168.1.1.
std::vector<uint8_t> replyDatagram(const FakeDevice& device);

// A shown SearchDialog whose worker talks to a LoopbackDevice, with a temp copy
// of the shipped language database and a temp marker path.
class DialogHarness final
{
public:
    explicit DialogHarness(bool withMarkerFile = false, uint16_t workerPort = 0);
    Q_DISABLE_COPY_MOVE(DialogHarness)

    SearchDialog& dialog() { return *m_dialog; }
    const DialogControls& controls() const { return m_dialog->controls(); }
    LoopbackDevice& device() { return m_device; }

    bool waitForStartUp();                  // the first search and the display reset after it
    bool deliver(const FakeDevice& device); // its reply, and then its row
    QListWidgetItem* rowNamed(const std::string& name) const;
    bool clickRowNamed(const std::string& name, bool doubleClick = false);

private:
    QTemporaryDir m_folder;
    LoopbackDevice m_device;
    std::unique_ptr<SearchDialog> m_dialog;
};

// Collects the web addresses the dialog asks the desktop to open.
class UrlCatcher final : public QObject
{
    Q_OBJECT

public:
    UrlCatcher();
    ~UrlCatcher() override;
    Q_DISABLE_COPY_MOVE(UrlCatcher)

    QList<QUrl> opened;

public slots:
    void openUrl(const QUrl& url) { opened.append(url); }
};

} // namespace tavolix::test

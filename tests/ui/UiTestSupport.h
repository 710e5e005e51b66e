#pragma once

#include "SearchDialog.h"
#include "UniqueFd.h"

#include <QDesktopServices>
#include <QObject>
#include <QTemporaryDir>
#include <QUrl>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <string>
#include <vector>

namespace tavolix::test {

using namespace Qt::StringLiterals;
using namespace std::string_literals;

// Serves window events until the condition holds; false after a generous
// limit, which only ever means it never came true.
bool waitUntil(const std::function<bool()>& condition, int limitMs = 10000);

// Types the text key by key, letters beyond ASCII included (QTest::keyClicks
// takes ASCII only), as a keyboard that has them would.
void typeText(QWidget* widget, const QString& text);

// A device on loopback: receives what the worker sends and answers it.
class LoopbackDevice final
{
public:
    LoopbackDevice();
    Q_DISABLE_COPY_MOVE(LoopbackDevice)

    uint16_t port() const { return m_port; }
    std::optional<std::vector<uint8_t>> receive();      // what has arrived, if anything
    std::optional<std::vector<uint8_t>> nextDatagram(); // serves the window while it waits
    void reply(const std::vector<uint8_t>& datagram);   // to the last sender

private:
    UniqueFd m_fd;
    uint16_t m_port = 0;
    sockaddr_in m_worker{};
};

struct FakeDevice
{
    int kind = 0;
    std::string name;
    std::array<uint8_t, 6> mac{};
    int httpPort = 80;
    std::array<uint8_t, 4> networkMode{0xFF, 0xFF, 0xFF, 0xFF};
};

// The reply such a device sends: IP address 192.168.1.10, mask 255.255.255.0,
// gateway 192.168.1.1, PPPoE account "dsl-user", version "1.2".
std::vector<uint8_t> replyDatagram(const FakeDevice& device);
bool isSearch(const std::optional<std::vector<uint8_t>>& datagram);

// Enabled (E) or disabled (D), in groups: name and HTTP port; IP, mask and
// gateway; PPPoE account and password; MAC edit; PPPoE radio; DHCP and static
// radios; login account and password; Submit.
std::string enabledState(const DialogControls& c);
// The checked mode buttons: "P" (PPPoE), "D" (DHCP), "S" (static), "" for none.
std::string checkedModes(const DialogControls& c);

// A shown and started SearchDialog whose worker talks to a LoopbackDevice, with
// a temp copy of the shipped language database and a temp marker path.
class DialogHarness final
{
public:
    explicit DialogHarness(bool withMarkerFile = false, bool workerCannotBind = false);

    SearchDialog& dialog() { return *m_dialog; }
    const DialogControls& controls() const { return m_dialog->controls(); }
    LoopbackDevice& device() { return m_device; }

    bool deliver(const FakeDevice& device); // its reply, and then its row
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
    UrlCatcher() { QDesktopServices::setUrlHandler(u"http"_s, this, "openUrl"); }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(u"http"_s); }

    QList<QUrl> opened;

public slots:
    void openUrl(const QUrl& url) { opened.append(url); }
};

} // namespace tavolix::test

#pragma once

// A shown SearchDialog, a copy of the shipped language file, and a device stand-in on loopback.

#include "BitmapButton.h"
#include "DialogGeometry.h"
#include "ReplyBuilder.h"
#include "SearchDialog.h"

#include <QDesktopServices>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QNetworkDatagram>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavolix::test {

using namespace Qt::StringLiterals;
using namespace std::string_literals;

inline QMessageBox* waitForMessageBox(const SearchDialog& dialog)
{
    QMessageBox* shown = nullptr;
    static_cast<void>(QTest::qWaitFor([&] {
        for (QMessageBox* box : dialog.findChildren<QMessageBox*>())
            shown = box->isVisible() ? box : shown;
        return shown != nullptr;
    }));
    return shown;
}

class LoopbackDevice final
{
public:
    LoopbackDevice() { m_socket.bind(QHostAddress::LocalHost); }

    uint16_t port() const { return m_socket.localPort(); }
    std::optional<std::vector<uint8_t>> receive() // what has arrived, if anything
    {
        if (!m_socket.hasPendingDatagrams())
            return std::nullopt;
        const QByteArray data = (m_worker = m_socket.receiveDatagram()).data();
        return std::vector<uint8_t>(data.begin(), data.end());
    }
    std::optional<std::vector<uint8_t>> nextDatagram() // serves the window while it waits
    {
        std::optional<std::vector<uint8_t>> datagram;
        return QTest::qWaitFor([&] { return (datagram = receive()).has_value(); }) ? datagram
                                                                                   : std::nullopt;
    }
    void reply(std::span<const uint8_t> datagram) // to the last sender
    {
        m_socket.writeDatagram(m_worker.makeReply(
            QByteArray(reinterpret_cast<const char*>(datagram.data()), std::ssize(datagram))));
    }

private:
    QUdpSocket m_socket;
    QNetworkDatagram m_worker;
};

struct FakeDevice
{
    int kind = 0;
    std::string name;
    std::array<uint8_t, 6> mac{};
    int httpPort = 80;
    std::array<uint8_t, 4> networkMode{0xFF, 0xFF, 0xFF, 0xFF};
    std::string pppoeAccount = "dsl-user";
};

// Its reply: 192.168.1.10, mask 255.255.255.0, gateway 192.168.1.1, version "1.2".
inline std::vector<uint8_t> replyDatagram(const FakeDevice& fake)
{
    devicesim::SimulatedDevice device{fake.mac,
                                      {192, 168, 1, 10},
                                      {255, 255, 255, 0},
                                      {192, 168, 1, 1},
                                      static_cast<uint16_t>(fake.httpPort),
                                      fake.networkMode};
    device.kind = static_cast<DeviceKind>(fake.kind);
    fake.name.copy(device.name.data(), device.name.size());
    std::string_view("1.2").copy(device.version.data(), device.version.size());
    fake.pppoeAccount.copy(device.pppoeAccount.data(), device.pppoeAccount.size());
    devicesim::ReplyBuffer buffer;
    const std::span<const uint8_t> reply = devicesim::buildReply(device, 0, buffer);
    return {reply.begin(), reply.end()};
}

// The checked mode buttons ("P" PPPoE, "D" DHCP, "S" static), then enabled (E) or
// disabled (D) in groups: name and HTTP port; IP, mask and gateway; PPPoE account and
// password; MAC edit; PPPoE radio; DHCP and static radios; login account and password; Submit.
inline std::string controlState(const DialogControls& c)
{
    const std::initializer_list<QWidget*> groups[] = {
        {c.nameEdit, c.httpPortEdit},
        {c.ipAddressEdit, c.subnetMaskEdit, c.gatewayEdit},
        {c.pppoeAccountEdit, c.pppoePasswordEdit},
        {c.macEdit},
        {c.pppoeRadio},
        {c.dhcpRadio, c.staticRadio},
        {c.loginAccountEdit, c.loginPasswordEdit},
        {c.submitButton}};
    std::string state = std::string(c.pppoeRadio->isChecked() ? "P" : "") +
                        (c.dhcpRadio->isChecked() ? "D" : "") +
                        (c.staticRadio->isChecked() ? "S" : "");
    for (const auto& group : groups) {
        state += ' ';
        for (QWidget* widget : group)
            state += widget->isEnabled() ? 'E' : 'D';
    }
    return state;
}

class DialogHarness final
{
public:
    explicit DialogHarness(bool withMarkerFile = false)
    {
        const QString languageDb = m_folder.filePath(u"language.db"_s);
        QFile::copy(QStringLiteral(TAVOLIX_SHIPPED_LANGUAGE_DB), languageDb);
        QFile::setPermissions(languageDb, QFile::ReadOwner | QFile::WriteOwner);
        const QString marker = m_folder.filePath(u"Search.conf"_s);
        if (withMarkerFile)
            QFile(marker).open(QIODevice::WriteOnly);
        m_dialog = std::make_unique<SearchDialog>(
            SearchDialogOptions{{0, m_device.port(), "127.0.0.1"}, marker, languageDb});
        m_dialog->show();
        // The first search and the display reset after it.
        EXPECT_TRUE(m_device.nextDatagram() &&
                    QTest::qWaitFor([this] { return !controls().loginAccountEdit->isEnabled(); }))
            << "the dialog did not start";
    }

    SearchDialog& dialog() { return *m_dialog; }
    const DialogControls& controls() const { return m_dialog->controls(); }
    LoopbackDevice& device() { return m_device; }

    bool deliver(const FakeDevice& device) // its reply, and then its row
    {
        m_device.reply(replyDatagram(device));
        return QTest::qWaitFor([&] { return rowNamed(device.name) != nullptr; });
    }
    bool clickRowNamed(const std::string& name, bool doubleClick = false)
    {
        QListWidget* list = controls().deviceList;
        QListWidgetItem* row = rowNamed(name);
        if (row == nullptr)
            return false;
        list->scrollToItem(row);
        const QPoint centre = list->visualItemRect(row).center();
        // The list opens a row only when the double click lands where the press did.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
        if (doubleClick)
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
        return row->isSelected();
    }

private:
    QListWidgetItem* rowNamed(const std::string& name) const
    {
        const QList<QListWidgetItem*> rows = controls().deviceList->findItems(
            u" "_s + QString::fromStdString(name), Qt::MatchEndsWith);
        return rows.isEmpty() ? nullptr : rows.first();
    }

    QTemporaryDir m_folder;
    LoopbackDevice m_device;
    std::unique_ptr<SearchDialog> m_dialog;
};

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

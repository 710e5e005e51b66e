#include "UiTestSupport.h"

#include "BitmapButton.h"
#include "Datagram.h"

#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tavolix::test {
namespace {

QListWidgetItem* rowNamed(const QListWidget* list, const std::string& name)
{
    const QList<QListWidgetItem*> rows =
        list->findItems(u" "_s + QString::fromStdString(name), Qt::MatchEndsWith);
    return rows.isEmpty() ? nullptr : rows.first();
}

} // namespace

bool waitUntil(const std::function<bool()>& condition, int limitMs)
{
    for (int waited = 0; waited < limitMs; waited += 2) {
        if (condition())
            return true;
        QTest::qWait(2);
    }
    return condition();
}

void typeText(QWidget* widget, const QString& text)
{
    for (const QChar character : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(character),
                            Qt::NoModifier);
}

LoopbackDevice::LoopbackDevice() : m_fd(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0))
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(m_fd.get(), reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
}

std::optional<std::vector<uint8_t>> LoopbackDevice::receive()
{
    std::vector<uint8_t> buffer(4096);
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t received = ::recvfrom(m_fd.get(), buffer.data(), buffer.size(), 0,
                                        reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (received < 0)
        return std::nullopt;
    buffer.resize(static_cast<size_t>(received));
    m_worker = from;
    return buffer;
}

std::optional<std::vector<uint8_t>> LoopbackDevice::nextDatagram()
{
    std::optional<std::vector<uint8_t>> datagram;
    waitUntil([&] { return (datagram = receive()).has_value(); });
    return datagram;
}

void LoopbackDevice::reply(const std::vector<uint8_t>& datagram)
{
    ::sendto(m_fd.get(), datagram.data(), datagram.size(), 0,
             reinterpret_cast<const sockaddr*>(&m_worker), sizeof m_worker);
}

std::vector<uint8_t> replyDatagram(const FakeDevice& device)
{
    std::vector<uint8_t> out = {'V', 'X', 'L', '8', '3'};
    const auto append = [&](uint8_t tag, std::vector<uint8_t> value, size_t size) {
        value.resize(size, 0);
        out.push_back(tag);
        out.push_back(static_cast<uint8_t>(size));
        out.insert(out.end(), value.begin(), value.end());
    };
    const auto text = [](const std::string& t) { return std::vector<uint8_t>(t.begin(), t.end()); };
    append(0x10, {device.mac.begin(), device.mac.end()}, 6);
    append(0x11, {192, 168, 1, 10}, 4);
    append(0x12, {255, 255, 255, 0}, 4);
    append(0x13, {192, 168, 1, 1}, 4);
    append(0x14,
           {static_cast<uint8_t>(device.httpPort), static_cast<uint8_t>(device.httpPort >> 8)}, 5);
    append(0x1f, {device.networkMode.begin(), device.networkMode.end()}, 4);
    append(0x20, text(device.name), 31);
    append(0x21, text("1.2"), 16);
    append(0x22, text("dsl-user"), 64);
    append(0x30, {0x00, static_cast<uint8_t>(device.kind)}, 2);
    return out;
}

bool isSearch(const std::optional<std::vector<uint8_t>>& datagram)
{
    const RequestBuffer search = searchRequest();
    return datagram && std::equal(datagram->begin(), datagram->end(), search.begin(), search.end());
}

std::string enabledState(const DialogControls& c)
{
    const std::initializer_list<QWidget*> groups[] = {
        {c.nameEdit, c.httpPortEdit},
        {c.ipAddressEdit, c.subnetMaskEdit, c.gatewayEdit},
        {c.pppoeAccountEdit, c.pppoePasswordEdit},
        {c.macEdit},
        {c.pppoeRadio},
        {c.dhcpRadio, c.staticRadio},
        {c.loginAccountEdit, c.loginPasswordEdit},
        {c.submitButton},
    };
    std::string state;
    for (const auto& group : groups) {
        state += state.empty() ? "" : " ";
        for (QWidget* widget : group)
            state += widget->isEnabled() ? 'E' : 'D';
    }
    return state;
}

std::string checkedModes(const DialogControls& c)
{
    return std::string(c.pppoeRadio->isChecked() ? "P" : "") +
           (c.dhcpRadio->isChecked() ? "D" : "") + (c.staticRadio->isChecked() ? "S" : "");
}

DialogHarness::DialogHarness(bool withMarkerFile, bool workerCannotBind)
{
    const QString languageDb = m_folder.filePath(u"language.db"_s);
    QFile::copy(QStringLiteral(TAVOLIX_SHIPPED_LANGUAGE_DB), languageDb);
    QFile::setPermissions(languageDb, QFile::ReadOwner | QFile::WriteOwner);
    const QString marker = m_folder.filePath(u"Search.conf"_s);
    if (withMarkerFile)
        QFile(marker).open(QIODevice::WriteOnly);

    SearchDialogOptions options;
    // The device's own port is taken: the worker cannot bind it.
    options.endpoints = WorkerEndpoints{workerCannotBind ? m_device.port() : uint16_t{0},
                                        m_device.port(), "127.0.0.1"};
    options.markerFile = marker;
    options.languageDbPath = languageDb;
    m_dialog = std::make_unique<SearchDialog>(options);
    m_dialog->show();
    // The first search and the display reset after it, or the worker's end.
    EXPECT_TRUE(workerCannotBind
                    ? waitUntil([this] { return m_dialog->workerControl().stop.load() != 0; })
                    : m_device.nextDatagram() &&
                          waitUntil([this] { return !controls().loginAccountEdit->isEnabled(); }))
        << "the dialog did not start";
}

bool DialogHarness::deliver(const FakeDevice& device)
{
    m_device.reply(replyDatagram(device));
    return waitUntil([&] { return rowNamed(controls().deviceList, device.name) != nullptr; });
}

bool DialogHarness::clickRowNamed(const std::string& name, bool doubleClick)
{
    QListWidget* list = controls().deviceList;
    QListWidgetItem* row = rowNamed(list, name);
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

} // namespace tavolix::test

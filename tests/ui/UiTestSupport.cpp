#include "UiTestSupport.h"

#include <QDesktopServices>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace tavolix::test {

bool waitUntil(const std::function<bool()>& condition, int limitMs)
{
    for (int waited = 0; waited < limitMs; waited += 2) {
        if (condition())
            return true;
        QTest::qWait(2);
    }
    return condition();
}

void runOffWindowThread(const std::function<void()>& work)
{
    std::atomic<bool> done{false};
    std::thread helper([&] {
        work();
        done.store(true);
    });
    waitUntil([&] { return done.load(); }, 60000);
    helper.join();
}

LoopbackDevice::LoopbackDevice() : m_fd(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0))
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
}

LoopbackDevice::~LoopbackDevice()
{
    ::close(m_fd);
}

std::optional<std::vector<uint8_t>> LoopbackDevice::tryReceive()
{
    std::vector<uint8_t> buffer(4096);
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t received = ::recvfrom(m_fd, buffer.data(), buffer.size(), 0,
                                        reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (received < 0)
        return std::nullopt;
    buffer.resize(static_cast<size_t>(received));
    const auto* fromBytes = reinterpret_cast<const uint8_t*>(&from);
    m_workerAddress.assign(fromBytes, fromBytes + sizeof from);
    return buffer;
}

std::optional<std::vector<uint8_t>> LoopbackDevice::nextDatagram()
{
    std::optional<std::vector<uint8_t>> datagram;
    waitUntil([&] { return (datagram = tryReceive()).has_value(); });
    return datagram;
}

void LoopbackDevice::reply(const std::vector<uint8_t>& datagram)
{
    ::sendto(m_fd, datagram.data(), datagram.size(), 0,
             reinterpret_cast<const sockaddr*>(m_workerAddress.data()),
             static_cast<socklen_t>(m_workerAddress.size()));
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
    append(0x11, {device.ip.begin(), device.ip.end()}, 4);
    append(0x12, {255, 255, 255, 0}, 4);
    append(0x13, {192, 168, 1, 1}, 4);
    append(0x14,
           {static_cast<uint8_t>(device.httpPort), static_cast<uint8_t>(device.httpPort >> 8)}, 5);
    append(0x1f, {device.networkMode.begin(), device.networkMode.end()}, 4);
    append(0x20, text(device.name), 31);
    append(0x21, text(device.version), 16);
    append(0x22, text(device.pppoeAccount), 64);
    append(0x30, {0x00, static_cast<uint8_t>(device.kind)}, 2);
    return out;
}

DialogHarness::DialogHarness(bool withMarkerFile, uint16_t workerPort)
{
    const QString languageDb = m_folder.filePath(QStringLiteral("language.db"));
    QFile::copy(QStringLiteral(TAVOLIX_SHIPPED_LANGUAGE_DB), languageDb);
    QFile::setPermissions(languageDb, QFile::ReadOwner | QFile::WriteOwner);
    const QString marker = m_folder.filePath(QStringLiteral("Search.conf"));
    if (withMarkerFile)
        QFile(marker).open(QIODevice::WriteOnly);

    SearchDialogOptions options;
    options.endpoints = WorkerEndpoints{workerPort, m_device.port(), "127.0.0.1"};
    options.markerFile = marker;
    options.languageDbPath = languageDb;
    m_dialog = std::make_unique<SearchDialog>(options);
    m_dialog->show();
}

bool DialogHarness::waitForStartUp()
{
    return m_device.nextDatagram() &&
           waitUntil([this] { return !controls().loginAccountEdit->isEnabled(); });
}

bool DialogHarness::deliver(const FakeDevice& device)
{
    m_device.reply(replyDatagram(device));
    return waitUntil([&] { return rowNamed(device.name) != nullptr; });
}

QListWidgetItem* DialogHarness::rowNamed(const std::string& name) const
{
    const QList<QListWidgetItem*> rows = controls().deviceList->findItems(
        QStringLiteral(" ") + QString::fromStdString(name), Qt::MatchEndsWith);
    return rows.isEmpty() ? nullptr : rows.first();
}

bool DialogHarness::clickRowNamed(const std::string& name, bool doubleClick)
{
    QListWidgetItem* item = rowNamed(name);
    if (item == nullptr)
        return false;
    QListWidget* list = controls().deviceList;
    list->scrollToItem(item);
    const QPoint centre = list->visualItemRect(item).center();
    // The list opens a row only when the double click lands where the press did.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
    if (doubleClick)
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
    return item->isSelected();
}

UrlCatcher::UrlCatcher()
{
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "openUrl");
}

UrlCatcher::~UrlCatcher()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
}

} // namespace tavolix::test

// The real window with 255 simulated devices: how long from a click on
// Update to the 255th row of the device list, and how many rows were listed.
// The window runs offscreen with its default ports inside a host namespace.
//   bench_update_255 [rounds=10]
#include "BenchSupport.h"
#include "BitmapButton.h"
#include "ScopedNetns.h"
#include "SearchDialog.h"
#include "TemporaryDirectory.h"

#include <QApplication>
#include <QEventLoop>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>

using namespace tavolix;

namespace {

constexpr int deviceCount = 255;
// Only against replies that never come; a round normally takes milliseconds.
constexpr int giveUpMs = 10000;

// Serves the window until the list holds every device, and the time that
// took. It is taken in the row insertion itself: polling would add its own
// sleeps to the figure and hold up the worker, which waits for the window to
// take each row.
std::optional<double> serveUntilListed(QListWidget& list, bench::Clock::time_point start)
{
    std::optional<double> milliseconds;
    QEventLoop loop;
    const auto check = [&] {
        if (list.count() == deviceCount && !milliseconds) {
            milliseconds = bench::millisecondsSince(start);
            loop.quit();
        }
    };
    const QMetaObject::Connection inserted =
        QObject::connect(list.model(), &QAbstractItemModel::rowsInserted, &loop, check);
    QTimer::singleShot(giveUpMs, &loop, &QEventLoop::quit);
    check();
    if (!milliseconds)
        loop.exec();
    QObject::disconnect(inserted);
    return milliseconds;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int rounds = bench::argument(argc, argv, 1, 10);
    std::printf("platform: %s\n", qUtf8Printable(QApplication::platformName()));
    // Quiet: a transcript line per datagram would slow the devices down.
    const auto network = bench::startSimulatedNetwork(
        "bench_update_255", {"--count", std::to_string(deviceCount), "--quiet"});
    if (!network)
        return 1;
    const test::TemporaryDirectory folder;
    std::filesystem::copy_file(TAVOLIX_SHIPPED_LANGUAGE_DB, folder.path() / "language.db");
    SearchDialogOptions options; // the program's own ports and address
    options.languageDbPath = QString::fromStdString((folder.path() / "language.db").string());
    options.markerFile = QString::fromStdString((folder.path() / "no-marker").string());
    const test::ScopedNetns inHost(network->topology.name("host"));
    if (!inHost.entered()) {
        std::printf("bench_update_255: %s\n", inHost.error().c_str());
        return 1;
    }

    std::vector<double> milliseconds;
    SearchDialog dialog(options);
    dialog.show();
    QListWidget& list = *dialog.controls().deviceList;
    serveUntilListed(list, bench::Clock::now());
    std::printf("start-up search: %d of %d rows listed\n", list.count(), deviceCount);
    for (int round = 1; round <= rounds; ++round) {
        const auto start = bench::Clock::now();
        QTest::mouseClick(dialog.controls().updateButton, Qt::LeftButton);
        const auto elapsed = serveUntilListed(list, start);
        std::printf("round %2d: %3d of %d rows listed", round, list.count(), deviceCount);
        if (elapsed) {
            std::printf(", 255th row after %.3f ms\n", *elapsed);
            milliseconds.push_back(*elapsed);
        } else {
            std::printf(" (gave up after %d ms)\n", giveUpMs);
        }
        // Stragglers of this round, if any, arrive before the next click.
        QTest::qWait(100);
    }
    dialog.onCancel();
    bench::printSpread("Update click to 255th row", "ms", milliseconds);
    return 0;
}

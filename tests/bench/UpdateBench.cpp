// The real window with 255 simulated devices: how long from a click on
// Update to the 255th row of the device list, and how many rows were listed.
// The window runs offscreen with its default ports inside a host namespace.
//   bench_update_255 [rounds=10]
#include "BenchFigures.h"
#include "BitmapButton.h"
#include "DeviceSimProcess.h"
#include "NetnsTopology.h"
#include "ScopedNetns.h"
#include "SearchDialog.h"
#include "TemporaryDirectory.h"

#include <QApplication>
#include <QEventLoop>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

namespace {

using namespace tavolix;
using Clock = std::chrono::steady_clock;

constexpr int deviceCount = 255;
// Only against replies that never come; a round normally takes milliseconds.
constexpr int giveUpMs = 10000;

struct RoundResult
{
    int rows = 0;
    std::optional<double> milliseconds; // when the list reached every device
};

// Serves the window until the list holds every device. The time is taken in
// the row insertion itself: polling would add its own sleeps to the figure
// and hold up the worker, which waits for the window to take each row.
RoundResult serveUntilListed(QListWidget& list, Clock::time_point start)
{
    RoundResult result;
    QEventLoop loop;
    const auto check = [&] {
        if (list.count() == deviceCount && !result.milliseconds) {
            result.milliseconds =
                std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            loop.quit();
        }
    };
    const QMetaObject::Connection inserted =
        QObject::connect(list.model(), &QAbstractItemModel::rowsInserted, &loop, check);
    QTimer::singleShot(giveUpMs, &loop, &QEventLoop::quit);
    check();
    if (!result.milliseconds)
        loop.exec();
    QObject::disconnect(inserted);
    result.rows = list.count();
    return result;
}

int run(int rounds)
{
    if (const auto reason = test::NetnsTopology::unavailableReason()) {
        std::printf("bench_update_255: skipped: %s\n", reason->c_str());
        return 0;
    }
    test::NetnsTopology topology;
    if (!topology.addNamespace("host") || !topology.addNamespace("devices") ||
        !topology.link("host", "198.18.0.1/24", "devices", "198.18.0.2/24")) {
        std::printf("bench_update_255: namespaces failed: %s\n", topology.error().c_str());
        return 1;
    }
    // Quiet: a transcript line per datagram would slow the devices down.
    e2e::DeviceSimProcess sim(topology.name("devices"),
                              {"--count", std::to_string(deviceCount), "--quiet"});
    if (!sim.waitReady()) {
        std::printf("bench_update_255: devicesim did not start\n");
        return 1;
    }
    const test::TemporaryDirectory folder;
    std::filesystem::copy_file(TAVOLIX_SHIPPED_LANGUAGE_DB, folder.path() / "language.db");
    SearchDialogOptions options; // the program's own ports and address
    options.languageDbPath = QString::fromStdString((folder.path() / "language.db").string());
    options.markerFile = QString::fromStdString((folder.path() / "no-marker").string());

    const test::ScopedNetns inHost(topology.name("host"));
    if (!inHost.entered()) {
        std::printf("bench_update_255: %s\n", inHost.error().c_str());
        return 1;
    }
    std::vector<double> milliseconds;
    {
        SearchDialog dialog(options);
        dialog.show();
        QListWidget& list = *dialog.controls().deviceList;
        const RoundResult first = serveUntilListed(list, Clock::now());
        std::printf("start-up search: %d of %d rows listed\n", first.rows, deviceCount);

        for (int round = 1; round <= rounds; ++round) {
            const auto start = Clock::now();
            QTest::mouseClick(dialog.controls().updateButton, Qt::LeftButton);
            const RoundResult result = serveUntilListed(list, start);
            std::printf("round %2d: %3d of %d rows listed", round, result.rows, deviceCount);
            if (result.milliseconds) {
                std::printf(", 255th row after %.3f ms\n", *result.milliseconds);
                milliseconds.push_back(*result.milliseconds);
            } else {
                std::printf(" (gave up after %d ms)\n", giveUpMs);
            }
            // Stragglers of this round, if any, arrive before the next click.
            QTest::qWait(100);
        }
        dialog.onCancel();
    }
    bench::printSpread("Update click to 255th row", "ms", milliseconds);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    std::printf("platform: %s\n", qUtf8Printable(QApplication::platformName()));
    return run(rounds);
}

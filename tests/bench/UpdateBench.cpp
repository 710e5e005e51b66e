// The real window with 255 simulated devices: how long from a click on
// Update to the 255th row of the device list, how much of that the window's
// thread spent working, and how many rows were listed.
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
#include <ctime>
#include <filesystem>

using namespace tavolix;

namespace {

constexpr int deviceCount = 255;
// Only against replies that never come; a round normally takes milliseconds.
constexpr int giveUpMs = 10000;

// CPU time the calling thread has used, in milliseconds.
double threadCpuMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct Listed
{
    double milliseconds; // wall time
    double windowCpuMs;  // CPU time of the window's thread meanwhile
};

// Serves the window until the list holds every device, and the time that
// took. It is taken in the row insertion itself: polling would add its own
// sleeps to the figure and hold up the worker.
std::optional<Listed> serveUntilListed(QListWidget& list, bench::Clock::time_point start,
                                       double cpuStartMs)
{
    std::optional<Listed> listed;
    QEventLoop loop;
    const auto check = [&] {
        if (list.count() == deviceCount && !listed) {
            listed = Listed{bench::millisecondsSince(start), threadCpuMs() - cpuStartMs};
            loop.quit();
        }
    };
    const QMetaObject::Connection inserted =
        QObject::connect(list.model(), &QAbstractItemModel::rowsInserted, &loop, check);
    QTimer::singleShot(giveUpMs, &loop, &QEventLoop::quit);
    check();
    if (!listed)
        loop.exec();
    QObject::disconnect(inserted);
    return listed;
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
    std::vector<double> windowCpuMs;
    std::vector<double> roundCpuMs;
    SearchDialog dialog(options);
    dialog.show();
    QListWidget& list = *dialog.controls().deviceList;
    serveUntilListed(list, bench::Clock::now(), threadCpuMs());
    std::printf("start-up search: %d of %d rows listed\n", list.count(), deviceCount);
    for (int round = 1; round <= rounds; ++round) {
        const auto start = bench::Clock::now();
        const double cpuStart = threadCpuMs();
        QTest::mouseClick(dialog.controls().updateButton, Qt::LeftButton);
        const auto listed = serveUntilListed(list, start, cpuStart);
        std::printf("round %2d: %3d of %d rows listed", round, list.count(), deviceCount);
        if (listed) {
            std::printf(", 255th row after %.3f ms, %.3f ms CPU on the window's thread\n",
                        listed->milliseconds, listed->windowCpuMs);
            milliseconds.push_back(listed->milliseconds);
            windowCpuMs.push_back(listed->windowCpuMs);
        } else {
            std::printf(" (gave up after %d ms)\n", giveUpMs);
        }
        // Stragglers of this round, if any, arrive before the next click;
        // the window's CPU over the whole round takes in the paints after
        // the last row.
        QTest::qWait(100);
        const double roundCpu = threadCpuMs() - cpuStart;
        std::printf("          window's thread CPU over the round, 100 ms idle at its end "
                    "included: %.3f ms\n",
                    roundCpu);
        roundCpuMs.push_back(roundCpu);
    }
    dialog.onCancel();
    bench::printSpread("Update click to 255th row", "ms", milliseconds);
    bench::printSpread("window's thread CPU until then", "ms", windowCpuMs);
    bench::printSpread("window's thread CPU over the round", "ms", roundCpuMs);
    return 0;
}

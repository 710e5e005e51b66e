// 255 simulated devices answer one search at once: how long from the search
// to the 255th stored record, and whether every reply was stored.
//   bench_burst [rounds=20] [padding bytes per reply=0]
#include "BenchNamespaces.h"
#include "ScopedNetns.h"
#include "UdpSocket.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <sys/socket.h>

namespace {

using namespace tavolix;
using Clock = std::chrono::steady_clock;

constexpr std::size_t deviceCount = DeviceTable::slotCount;

// What the kernel grants the worker's socket when it asks for its larger buffer.
void printReceiveBuffer(const std::string& hostNamespace)
{
    const test::ScopedNetns inHost(hostNamespace);
    UdpSocket probe;
    if (!inHost.entered() || !probe.open() || !probe.bind(0)) {
        std::printf("receive buffer: could not probe\n");
        return;
    }
    int granted = 0;
    socklen_t length = sizeof granted;
    ::getsockopt(probe.fd(), SOL_SOCKET, SO_RCVBUF, &granted, &length);
    std::printf("receive buffer: 1048576 bytes requested, kernel granted %d\n", granted);
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const std::string padding = argc > 2 ? argv[2] : "0";
    auto network = bench::startSimulatedNetwork(
        "bench_burst", {"--count", "255", "--quiet", "--padding", padding}, deviceCount);
    if (!network)
        return 0;
    printReceiveBuffer(network->topology.name("host"));
    e2e::WorkerHarness& worker = network->worker;

    std::vector<double> milliseconds;
    int completeRounds = 0;
    for (int round = 1; round <= rounds; ++round) {
        const int resets = worker.ui.state().resetCount;
        const auto start = Clock::now();
        worker.control.setCommand(SearchCommand);
        const bool complete = worker.ui.waitUntil(
            [&](const e2e::WorkerUiState& s) {
                return s.resetCount > resets && s.rows.size() == deviceCount;
            },
            std::chrono::seconds(3));
        const double elapsed =
            std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        const int stored = worker.control.table.usedSlotCount();
        std::printf("round %2d: %3d of %zu stored%s", round, stored, deviceCount,
                    complete ? "" : " (gave up after 3 s)");
        if (complete) {
            std::printf(", 255th after %.3f ms", elapsed);
            milliseconds.push_back(elapsed);
            ++completeRounds;
        }
        std::printf("\n");
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    std::printf("complete rounds: %d of %d\n", completeRounds, rounds);
    if (!milliseconds.empty())
        std::printf("search to 255th record: min %.3f ms, median %.3f ms, max %.3f ms\n",
                    milliseconds.front(), milliseconds[milliseconds.size() / 2],
                    milliseconds.back());
    return 0;
}

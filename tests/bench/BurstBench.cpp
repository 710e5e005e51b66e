// 255 simulated devices answer one search at once: how long from the search
// to the 255th stored record, and whether every reply was stored.
//   bench_burst [rounds=20]
#include "BenchSupport.h"
#include "ScopedNetns.h"
#include "UdpSocket.h"

#include <sys/socket.h>

using namespace tavolix;

int main(int argc, char** argv)
{
    constexpr std::size_t deviceCount = DeviceTable::slotCount;
    const int rounds = bench::argument(argc, argv, 1, 20);
    auto network =
        bench::startSimulatedNetwork("bench_burst", {"--count", "255", "--quiet"}, deviceCount);
    if (!network)
        return 1;
    {
        // What the kernel grants the worker's socket when it asks for its larger buffer.
        const test::ScopedNetns inHost(network->topology.name("host"));
        UdpSocket probe;
        int granted = 0;
        socklen_t length = sizeof granted;
        if (inHost.entered() && probe.open() && probe.bind(0) &&
            ::getsockopt(probe.fd(), SOL_SOCKET, SO_RCVBUF, &granted, &length) == 0)
            std::printf("receive buffer: 1048576 bytes requested, kernel granted %d\n", granted);
        else
            std::printf("receive buffer: could not probe\n");
    }

    e2e::WorkerHarness& worker = *network->worker;
    std::vector<double> milliseconds;
    for (int round = 1; round <= rounds; ++round) {
        const int resets = worker.ui.state().resetCount;
        const auto start = bench::Clock::now();
        worker.control.setCommand(SearchCommand);
        const bool complete = worker.ui.waitUntil(
            [&](const e2e::WorkerUiState& s) {
                return s.resetCount > resets && s.rows.size() == deviceCount;
            },
            std::chrono::seconds(3));
        const double elapsed = bench::millisecondsSince(start);
        std::printf("round %2d: %3d of %zu stored", round, worker.control.table.usedSlotCount(),
                    deviceCount);
        if (complete) {
            std::printf(", 255th after %.3f ms\n", elapsed);
            milliseconds.push_back(elapsed);
        } else {
            std::printf(" (gave up after 3 s)\n");
        }
    }
    std::printf("complete rounds: %zu of %d\n", milliseconds.size(), rounds);
    bench::printSpread("search to 255th record", "ms", milliseconds);
    return 0;
}

// bench_flood [runs]: tavolixctl search --user over one device of ours and one ONVIF camera,
// first in quiet, then with a flood at both answer ports (three threads sending random bytes,
// cut replies and unrelated probe matches as fast as they can) that starts before the search.
// Per run the wall time, the exit code and the devices listed; then min, median and max.
// Prints figures; asserts nothing.
#include "BenchSupport.h"
#include "CtlRun.h"
#include "Flood.h"
#include "TemporaryDirectory.h"

#include <algorithm>

namespace {

using namespace tavolix;

int rowsOf(const std::string& csv)
{
    return std::max(0, static_cast<int>(std::ranges::count(csv, '\n')) - 1);
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = bench::argument(argc, argv, 1, 5);
    const auto network = bench::startSimulatedNetwork("bench_flood", {"--quiet"});
    if (!network)
        return 1;
    e2e::DeviceSimProcess camera(network->topology.name("devices"),
                                 {"--interface", "veth0b", "--quiet"}, TAVOLIX_ONVIFSIM_PATH);
    if (!camera.waitReady()) {
        std::printf("bench_flood: onvifsim did not start\n");
        return 1;
    }
    const std::string host = network->topology.name("host");
    const test::TemporaryDirectory folder;
    for (const bool flooded : {false, true}) {
        std::vector<double> times;
        for (int i = 0; i < runs; ++i) {
            std::optional<e2e::Flood> flood;
            if (flooded)
                flood.emplace(network->topology.name("devices"), "198.18.0.1",
                              std::vector<uint16_t>{3566, 3566, 3567});
            const auto output =
                folder.path() / ((flooded ? "flooded" : "quiet") + std::to_string(i) + ".csv");
            const auto start = bench::Clock::now();
            const int exitCode = bench::runCtl(host, {"search", "--user", "admin"}, output);
            times.push_back(bench::millisecondsSince(start));
            const long long sent = flood ? flood->sent() : 0;
            std::printf("search --user%s: exit %d, %d of 2 devices listed, %.0f ms, %lld datagrams "
                        "of flood\n",
                        flooded ? " under a flood" : "", exitCode, rowsOf(bench::contents(output)),
                        times.back(), sent);
        }
        bench::printSpread(flooded ? "search --user under a flood, wall time (window 1500 ms)"
                                   : "search --user in quiet, wall time (window 1500 ms)",
                           "ms", times);
    }
    return 0;
}

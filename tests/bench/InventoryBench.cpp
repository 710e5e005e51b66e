// bench_inventory [runs]: a mixed inventory of 100 simulated devices of our
// own protocol and 100 simulated ONVIF cameras. Wall time of `tavolixctl
// search --user` over both (the cameras' settings read through the login),
// then of `plan` and `apply` re-addressing all 200. Prints figures; asserts
// nothing.
#include "BenchSupport.h"
#include "ChildProcess.h"
#include "CtlRun.h"
#include "DeviceSimProcess.h"
#include "TemporaryDirectory.h"

#include <sstream>

namespace {

using namespace tavolix;
using bench::contents;
using bench::runCtl;

constexpr int nativeDevices = 100;
constexpr int onvifCameras = 100;

// Rows of a CSV listing by protocol, and ONVIF rows whose settings were read
// (their mask is known).
struct Listed
{
    int native = 0;
    int onvif = 0;
    int both = 0;
    int onvifRead = 0;
};

Listed countRows(const std::string& csv)
{
    Listed listed;
    std::istringstream lines(csv);
    std::string line;
    std::getline(lines, line); // the header
    while (std::getline(lines, line)) {
        std::vector<std::string> cells;
        std::istringstream row(line);
        for (std::string cell; std::getline(row, cell, ',');)
            cells.push_back(cell);
        if (cells.size() < 15)
            continue;
        const std::string& protocol = cells[14];
        listed.native += protocol == "native" ? 1 : 0;
        listed.onvif += protocol == "onvif" ? 1 : 0;
        listed.both += protocol == "native+onvif" ? 1 : 0;
        listed.onvifRead += protocol != "native" && !cells[3].empty() ? 1 : 0;
    }
    return listed;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = bench::argument(argc, argv, 1, 5);
    const auto network = bench::startSimulatedNetwork(
        "bench_inventory", {"--count", std::to_string(nativeDevices), "--quiet"});
    if (!network)
        return 1;
    e2e::DeviceSimProcess cameras(network->topology.name("devices"),
                                  {"--interface", "veth0b", "--count", std::to_string(onvifCameras),
                                   "--ip-base", "198.18.0.100", "--quiet"},
                                  TAVOLIX_ONVIFSIM_PATH);
    if (!cameras.waitReady()) {
        std::printf("bench_inventory: onvifsim did not start\n");
        return 1;
    }
    const std::string host = network->topology.name("host");
    // The ranges the devices move to lie on the host's link too, so that the
    // cameras' services can be reached there.
    if (test::runCommand({"ip", "-n", host, "addr", "add", "198.18.2.254/23", "dev", "veth0a"})
            .exitCode != 0) {
        std::printf("bench_inventory: cannot add the host's second address\n");
        return 1;
    }
    const test::TemporaryDirectory folder;

    std::vector<double> searchTimes;
    for (int i = 0; i < runs; ++i) {
        const auto output = folder.path() / ("search" + std::to_string(i) + ".csv");
        const auto start = bench::Clock::now();
        const int exitCode = runCtl(host, {"search", "--user", "admin", "--format", "csv"}, output);
        searchTimes.push_back(bench::millisecondsSince(start));
        const Listed listed = countRows(contents(output));
        std::printf("search --user: exit %d, %d native, %d onvif (%d with settings read), %d both, "
                    "%.0f ms\n",
                    exitCode, listed.native, listed.onvif, listed.onvifRead, listed.both,
                    searchTimes.back());
        if (exitCode != 0)
            std::printf("  %s", contents(output.string() + ".err").c_str());
    }
    bench::printSpread("search --user, 100 native + 100 onvif, wall time", "ms", searchTimes);
    // How much of the listening time the reads need: shorter searches, each
    // length as many times as the runs, counting the cameras read in full.
    for (const int timeout : {30, 40, 50, 60, 80, 100, 150, 400}) {
        std::vector<double> read;
        for (int i = 0; i < runs; ++i) {
            const auto output = folder.path() / ("short" + std::to_string(timeout) + "-" +
                                                 std::to_string(i) + ".csv");
            runCtl(host,
                   {"search", "--user", "admin", "--format", "csv", "--timeout",
                    std::to_string(timeout)},
                   output);
            read.push_back(countRows(contents(output)).onvifRead);
        }
        const std::string label =
            "search --user --timeout " + std::to_string(timeout) + ", onvif with settings read";
        bench::printSpread(label.c_str(), "cameras", read);
    }

    // Each run moves every device to the other of two ranges, so every
    // device changes every time.
    std::vector<double> applyTimes;
    for (int i = 0; i < runs; ++i) {
        const auto plan = folder.path() / ("plan" + std::to_string(i) + ".csv");
        auto start = bench::Clock::now();
        runCtl(host,
               {"plan", "--user", "admin", "--ip-from", i % 2 == 0 ? "198.18.2.1" : "198.18.3.1",
                "--mask", "255.255.0.0"},
               plan);
        const double planMs = bench::millisecondsSince(start);
        const auto report = folder.path() / ("report" + std::to_string(i) + ".txt");
        start = bench::Clock::now();
        const int exitCode = runCtl(host, {"apply", plan.string(), "--user", "admin"}, report);
        applyTimes.push_back(bench::millisecondsSince(start));
        std::size_t verified = 0;
        const std::string text = contents(report);
        for (std::size_t at = text.find("  verified"); at != std::string::npos;
             at = text.find("  verified", at + 1))
            ++verified;
        std::printf("apply of all 200: exit %d, %zu verified, apply %.0f ms, plan %.0f ms\n",
                    exitCode, verified, applyTimes.back(), planMs);
    }
    bench::printSpread("apply, 100 native + 100 onvif re-addressed, wall time (goal 10000)", "ms",
                       applyTimes);
    return 0;
}

// bench_inventory [runs] [size ...]: mixed inventories of simulated devices
// of our own protocol and as many simulated ONVIF cameras, by default 100 and
// then 1000 of each. Half the cameras ask for HTTP Digest (MD5), half for a
// UsernameToken, as a mixed site does: two onvifsim processes side by side. Per size, the wall time
// of `tavolixctl search --user` over both (the cameras' settings read through the login), then of
// `plan` and `apply` re-addressing them all. Prints figures; asserts nothing.
#include "BenchSupport.h"
#include "ChildProcess.h"
#include "CtlRun.h"
#include "DeviceSimProcess.h"
#include "TemporaryDirectory.h"

#include <algorithm>
#include <array>
#include <memory>
#include <sstream>

namespace {

using namespace tavolix;
using bench::contents;
using bench::runCtl;

// The cameras' own subnet and the two ranges the runs move every device to
// are the host's too (an address in each), but routed through the devices'
// namespace: on-link, each camera would take an entry in the kernel's
// neighbour table, which all namespaces share and which holds 1024 by default.
// The native devices' addresses (198.18.1.1 on) are only announced.
constexpr const char* cameraPrefix = "19";
// The Digest half from the first address, the UsernameToken half from the second.
struct CameraHalf
{
    const char* ipBase;
    const char* macBase;
    const char* namePrefix;
    const char* auth;
};
constexpr std::array<CameraHalf, 2> cameraHalves = {
    {{"198.18.32.1", "02005e200001", "DIGEST", "digest-md5"},
     {"198.18.48.1", "02005e280001", "WSSE", "wsse"}}};
constexpr std::array<std::array<const char*, 2>, 2> hostSubnets = {
    {{"198.18.63.254/19", "198.18.32.0/19"}, {"198.18.127.254/18", "198.18.64.0/18"}}};
constexpr std::array<const char*, 2> ranges = {"198.18.64.1", "198.18.96.1"};

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

// The first line tavolixctl wrote to standard error for `output`, and how
// many there were.
std::string errorSummary(const std::filesystem::path& output)
{
    const std::string text = contents(output.string() + ".err");
    const auto lines = std::ranges::count(text, '\n');
    return text.substr(0, text.find('\n')) + " (" + std::to_string(lines) + " lines)\n";
}

// One block of figures for `size` devices of each protocol; false when the
// network or a simulator could not be set up.
bool measure(int size, int runs)
{
    const std::string count = std::to_string(size);
    std::printf("== %d native + %d onvif (%d Digest, %d UsernameToken) ==\n", size, size, size / 2,
                size - size / 2);
    const auto network =
        bench::startSimulatedNetwork("bench_inventory", {"--count", count, "--quiet"});
    if (!network)
        return false;
    std::vector<std::unique_ptr<e2e::DeviceSimProcess>> cameras;
    for (std::size_t half = 0; half < cameraHalves.size(); ++half) {
        const CameraHalf& range = cameraHalves.at(half);
        const int halfCount = half == 0 ? size / 2 : size - size / 2;
        cameras.push_back(std::make_unique<e2e::DeviceSimProcess>(
            network->topology.name("devices"),
            std::vector<std::string>{"--interface", "veth0b", "--count", std::to_string(halfCount),
                                     "--ip-base", range.ipBase, "--mac-base", range.macBase,
                                     "--name-prefix", range.namePrefix, "--auth", range.auth,
                                     "--prefix", cameraPrefix, "--quiet"},
            TAVOLIX_ONVIFSIM_PATH));
        if (!cameras.back()->waitReady()) {
            std::printf("bench_inventory: onvifsim --auth %s did not start\n", range.auth);
            return false;
        }
    }
    const std::string host = network->topology.name("host");
    for (const auto& [address, subnet] : hostSubnets) {
        if (test::runCommand(
                {"ip", "-n", host, "addr", "add", address, "dev", "veth0a", "noprefixroute"})
                    .exitCode != 0 ||
            test::runCommand({"ip", "-n", host, "route", "add", subnet, "via", "198.18.0.2"})
                    .exitCode != 0) {
            std::printf("bench_inventory: cannot add %s to the host\n", address);
            return false;
        }
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
            std::printf("  %s", errorSummary(output).c_str());
    }
    bench::printSpread(
        ("search --user, " + count + " native + " + count + " onvif, wall time").c_str(), "ms",
        searchTimes);
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
               {"plan", "--user", "admin", "--ip-from", ranges.at(static_cast<std::size_t>(i % 2)),
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
        std::printf("apply of all listed: exit %d, %zu verified, apply %.0f ms, plan %.0f ms\n",
                    exitCode, verified, applyTimes.back(), planMs);
        if (exitCode != 0)
            std::printf("  %s", errorSummary(report).c_str());
    }
    bench::printSpread(("apply, " + count + " native + " + count +
                        " onvif re-addressed, wall time" + (size == 100 ? " (goal 10000)" : ""))
                           .c_str(),
                       "ms", applyTimes);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = bench::argument(argc, argv, 1, 5);
    std::vector<int> sizes;
    for (int i = 2; i < argc; ++i)
        sizes.push_back(bench::argument(argc, argv, i, 1));
    if (sizes.empty())
        sizes = {100, 1000};
    for (const int size : sizes) {
        if (!measure(size, runs))
            return 1;
    }
    return 0;
}

// bench_apply [runs]: wall time of `tavolixctl apply` re-addressing 50 and
// 200 factory-fresh simulated devices that apply at once, and how many
// search rounds its verification took, against the floor of one search
// round per device; then of a plan that re-addresses 100 of ours and renames
// 100 ONVIF cameras (the goal: at most 10 s). Prints figures; asserts nothing.
#include "BenchSupport.h"
#include "ChildProcess.h"
#include "CtlRun.h"
#include "DeviceSimProcess.h"
#include "ScopedNetns.h"
#include "TemporaryDirectory.h"

#include <fstream>

namespace {

using namespace tavolix;
using bench::contents;
using bench::runCtl;

struct ApplyRun
{
    double planMs = 0;
    double applyMs = 0;
    int exitCode = -1;
    std::size_t verified = 0;
    std::size_t searches = 0; // search requests the devices received during the apply
};

// Searches the simulator has answered so far. A marker sent from the host
// first makes sure it has logged everything the host sent before.
std::size_t answeredSearches(bench::SimulatedNetwork& network, const std::string& marker)
{
    e2e::DeviceSimProcess& sim = *network.sim;
    {
        const test::ScopedNetns inHost(network.topology.name("host"));
        e2e::sendUnicast("198.18.0.2", 4000, std::vector<uint8_t>(marker.begin(), marker.end()));
    }
    const std::string hex = e2e::hexFromBytes(std::vector<uint8_t>(marker.begin(), marker.end()));
    sim.waitUntil([&](const std::vector<std::string>& lines) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& line) { return line.ends_with(" " + hex); });
    });
    std::size_t count = 0;
    for (const std::string& line : sim.lines())
        count += line.starts_with("answered ") ? 1u : 0u;
    return count;
}

std::size_t countOf(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

std::optional<ApplyRun> measure(int devices)
{
    const auto network =
        bench::startSimulatedNetwork("bench_apply", {"--count", std::to_string(devices),
                                                     "--same-ip", "--ip-base", "192.168.1.108"});
    if (!network)
        return std::nullopt;
    const std::string host = network->topology.name("host");
    const test::TemporaryDirectory folder;
    ApplyRun run;

    auto start = bench::Clock::now();
    runCtl(host,
           {"plan", "--ip-from", "198.18.0.10", "--mask", "255.255.255.0", "--gateway",
            "198.18.0.1", "--name-prefix", "cam-"},
           folder.path() / "plan.csv");
    run.planMs = bench::millisecondsSince(start);

    const std::size_t searchesBefore = answeredSearches(*network, "before-apply");
    start = bench::Clock::now();
    run.exitCode = runCtl(host, {"apply", (folder.path() / "plan.csv").string(), "--user", "admin"},
                          folder.path() / "report.txt");
    run.applyMs = bench::millisecondsSince(start);

    run.searches = answeredSearches(*network, "after-apply") - searchesBefore;
    run.verified = countOf(contents(folder.path() / "report.txt"), "  verified");
    return run;
}

// 100 devices of ours re-addressed and 100 ONVIF cameras renamed, in one plan.
std::optional<ApplyRun> measureMixed()
{
    constexpr int each = 100;
    const auto network =
        bench::startSimulatedNetwork("bench_apply", {"--count", std::to_string(each), "--same-ip",
                                                     "--ip-base", "192.168.1.108"});
    if (!network)
        return std::nullopt;
    e2e::DeviceSimProcess cameras(network->topology.name("devices"),
                                  {"--interface", "veth0b", "--count", std::to_string(each),
                                   "--ip-base", "198.18.0.120", "--quiet"},
                                  TAVOLIX_ONVIFSIM_PATH);
    if (!cameras.waitReady()) {
        std::printf("bench_apply: onvifsim did not start\n");
        return std::nullopt;
    }
    const test::TemporaryDirectory folder;
    std::ofstream plan(folder.path() / "plan.csv");
    plan << "mac,name,ip\n";
    for (int i = 1; i <= each; ++i) {
        char row[96];
        std::snprintf(row, sizeof row, "02005e1%05x,,198.18.0.%d\n02005e2%05x,onvif-%d,\n", i,
                      9 + i, i, i);
        plan << row;
    }
    plan.close();
    ApplyRun run;
    const auto start = bench::Clock::now();
    run.exitCode = runCtl(network->topology.name("host"),
                          {"apply", (folder.path() / "plan.csv").string(), "--user", "admin"},
                          folder.path() / "report.txt");
    run.applyMs = bench::millisecondsSince(start);
    run.verified = countOf(contents(folder.path() / "report.txt"), "  verified");
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = bench::argument(argc, argv, 1, 3);
    // One verification search round lasts up to a second; the initial search 1.5 s.
    constexpr double roundMs = 1000.0;
    for (const int devices : {50, 200}) {
        std::vector<double> applyTimes;
        std::vector<double> planTimes;
        for (int i = 0; i < runs; ++i) {
            const auto run = measure(devices);
            if (!run)
                return 1;
            std::printf("%d devices: apply exit %d, %zu verified, %zu search rounds "
                        "(1 initial + %zu to verify), apply %.0f ms, plan %.0f ms\n",
                        devices, run->exitCode, run->verified, run->searches,
                        run->searches > 0 ? run->searches - 1 : 0, run->applyMs, run->planMs);
            applyTimes.push_back(run->applyMs);
            planTimes.push_back(run->planMs);
        }
        const std::string label = std::to_string(devices) + " devices, apply wall time";
        bench::printSpread(label.c_str(), "ms", applyTimes);
        std::printf("%d devices: floor of one search round per device: %.0f ms\n", devices,
                    devices * roundMs);
    }
    std::vector<double> mixedTimes;
    for (int i = 0; i < runs; ++i) {
        const auto run = measureMixed();
        if (!run)
            return 1;
        std::printf("100 native + 100 ONVIF: apply exit %d, %zu verified, apply %.0f ms\n",
                    run->exitCode, run->verified, run->applyMs);
        mixedTimes.push_back(run->applyMs);
    }
    bench::printSpread("100 native + 100 ONVIF, apply wall time (goal 10000)", "ms", mixedTimes);
    return 0;
}

#pragma once

#include "DeviceSimProcess.h"
#include "NetnsTopology.h"
#include "WorkerHarness.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavolix::bench {

using Clock = std::chrono::steady_clock;

inline double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Command-line argument `index` as a number of at least `least`, or the fallback.
inline int argument(int argc, char** argv, int index, int fallback, int least = 1)
{
    return argc > index ? std::max(least, std::atoi(argv[index])) : fallback;
}

// "label: min …, median …, max … unit over n runs", or that there were none.
inline void printSpread(const char* label, const char* unit, std::vector<double> values)
{
    if (values.empty()) {
        std::printf("%s: no complete run\n", label);
        return;
    }
    std::sort(values.begin(), values.end());
    std::printf("%s: min %.3f %s, median %.3f %s, max %.3f %s over %zu runs\n", label,
                values.front(), unit, values[values.size() / 2], unit, values.back(), unit,
                values.size());
}

// host 198.18.0.1/24 <-> devices 198.18.0.2/24, devicesim running in "devices"
// and, when asked for, the network worker in "host" with its first search answered.
struct SimulatedNetwork
{
    test::NetnsTopology topology;
    std::optional<e2e::DeviceSimProcess> sim;
    std::optional<e2e::WorkerHarness> worker;
};

// Without root or `ip netns` the program says why and ends with 0; any other
// failure is printed and gives nothing.
inline std::unique_ptr<SimulatedNetwork>
startSimulatedNetwork(const char* program, const std::vector<std::string>& simOptions,
                      std::size_t workerDevices = 0)
{
    if (const auto reason = test::NetnsTopology::unavailableReason()) {
        std::printf("%s: skipped: %s\n", program, reason->c_str());
        std::exit(0);
    }
    auto network = std::make_unique<SimulatedNetwork>();
    test::NetnsTopology& topology = network->topology;
    if (!topology.addNamespace("host") || !topology.addNamespace("devices") ||
        !topology.link("host", "198.18.0.1/24", "devices", "198.18.0.2/24")) {
        std::printf("%s: namespaces failed: %s\n", program, topology.error().c_str());
        return nullptr;
    }
    if (!network->sim.emplace(topology.name("devices"), simOptions).waitReady()) {
        std::printf("%s: devicesim did not start\n", program);
        return nullptr;
    }
    if (workerDevices == 0)
        return network;
    e2e::WorkerHarness& worker = network->worker.emplace();
    if (!worker.start(topology.name("host"))) {
        std::printf("%s: worker did not start: %s\n", program, worker.error().c_str());
        return nullptr;
    }
    const bool found = worker.ui.waitUntil(
        [&](const e2e::WorkerUiState& s) { return s.rows.size() == workerDevices; });
    std::printf("first search: %zu of %zu devices listed%s\n", worker.ui.state().rows.size(),
                workerDevices, found ? "" : " (incomplete)");
    return network;
}

} // namespace tavolix::bench

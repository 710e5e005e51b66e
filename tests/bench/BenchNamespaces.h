#pragma once

#include "DeviceSimProcess.h"
#include "NetnsTopology.h"
#include "WorkerHarness.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavolix::bench {

// host 198.18.0.1/24 <-> devices 198.18.0.2/24 with devicesim running in
// "devices" and the network worker in "host", its first search answered.
struct SimulatedNetwork
{
    test::NetnsTopology topology;
    std::optional<e2e::DeviceSimProcess> sim;
    e2e::WorkerHarness worker;
};

// Nothing (with the reason printed) when namespaces cannot be made or the
// first search does not find every device.
inline std::unique_ptr<SimulatedNetwork> startSimulatedNetwork(const char* program,
                                                               std::vector<std::string> simOptions,
                                                               std::size_t deviceCount)
{
    if (const auto reason = test::NetnsTopology::unavailableReason()) {
        std::printf("%s: skipped: %s\n", program, reason->c_str());
        return nullptr;
    }
    auto network = std::make_unique<SimulatedNetwork>();
    test::NetnsTopology& topology = network->topology;
    if (!topology.addNamespace("host") || !topology.addNamespace("devices") ||
        !topology.link("host", "198.18.0.1/24", "devices", "198.18.0.2/24")) {
        std::printf("%s: namespaces failed: %s\n", program, topology.error().c_str());
        return nullptr;
    }
    network->sim.emplace(topology.name("devices"), simOptions);
    if (!network->sim->waitReady()) {
        std::printf("%s: devicesim did not start\n", program);
        return nullptr;
    }
    if (!network->worker.start(topology.name("host"))) {
        std::printf("%s: worker did not start: %s\n", program, network->worker.error().c_str());
        return nullptr;
    }
    const bool found = network->worker.ui.waitUntil(
        [&](const e2e::WorkerUiState& s) { return s.rows.size() == deviceCount; });
    std::printf("first search: %zu of %zu devices listed%s\n",
                network->worker.ui.state().rows.size(), deviceCount, found ? "" : " (incomplete)");
    return network;
}

} // namespace tavolix::bench

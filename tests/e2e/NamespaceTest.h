#pragma once

#include "DeviceSimProcess.h"
#include "NetnsTopology.h"
#include "ScopedNetns.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace tavolix::e2e {

// Base of the tests that put datagrams on a wire between namespaces.
class NamespaceTest : public ::testing::Test
{
protected:
    static constexpr const char* devicesAddress = "198.18.0.2";

    void SetUp() override
    {
        if (const auto reason = test::NetnsTopology::unavailableReason())
            GTEST_SKIP() << *reason;
    }

    // "host" 198.18.0.1/24 <-> "devices" 198.18.0.2/24, no default route.
    void makeHostAndDevices()
    {
        ASSERT_TRUE(topology.addNamespace("host") && topology.addNamespace("devices") &&
                    topology.link("host", "198.18.0.1/24", "devices", "198.18.0.2/24"))
            << topology.error();
    }

    // And in "devices" a simulator, ready. Callers wrap it in ASSERT_NO_FATAL_FAILURE.
    void startDevices(const std::vector<std::string>& simOptions)
    {
        ASSERT_NO_FATAL_FAILURE(makeHostAndDevices());
        sim.emplace(topology.name("devices"), simOptions);
        ASSERT_TRUE(sim->waitReady());
    }

    // Sends a marker from the host and waits until the simulator has logged
    // it. A veth delivers a datagram before the send returns, so whatever the
    // host sent earlier has been logged by then.
    void syncWith(DeviceSimProcess& simulator, const std::string& simAddress,
                  const std::string& marker)
    {
        const std::vector<uint8_t> bytes(marker.begin(), marker.end());
        {
            const test::ScopedNetns inHost(topology.name("host"));
            ASSERT_TRUE(inHost.entered() && sendUnicast(simAddress, 4000, bytes)) << inHost.error();
        }
        const std::string ending = " " + hexFromBytes(bytes);
        ASSERT_TRUE(simulator.waitUntil([&](const std::vector<std::string>& lines) {
            return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
                return line.starts_with("recv ") && line.ends_with(ending);
            });
        })) << "the simulator never logged the marker";
    }

    test::NetnsTopology topology;
    std::optional<DeviceSimProcess> sim;
};

} // namespace tavolix::e2e

// A search under a flood at both answer ports: it still ends, and the devices that answered
// are listed. How long it takes goes to bench_flood, not to an assertion.
#include "CtlTest.h"
#include "Flood.h"

namespace tavolix::e2e {
namespace {

using nlohmann::json;

TEST_F(CtlTest, ASearchUnderAFloodEndsAndListsTheDevicesThatAnswered)
{
    startDevices({});
    ASSERT_FALSE(HasFatalFailure());
    DeviceSimProcess camera(topology.name("devices"),
                            {"--interface", "veth0b", "--gateway", "198.18.0.1"},
                            TAVOLIX_ONVIFSIM_PATH);
    ASSERT_TRUE(camera.waitReady());

    const test::TemporaryDirectory io;
    test::LaunchOptions options;
    options.arguments = {TAVOLIXCTL_PATH, "search", "--format", "json", "--user", "admin"};
    options.environment = {"PATH=/usr/bin:/bin", "TAVOLIX_PASSWORD=admin"};
    options.networkNamespace = topology.name("host");
    options.outputFile = io.path() / "out";
    options.errorFile = io.path() / "err";
    test::ChildProcess search(options);
    // Once both have answered, the flood: it must not keep their answers from being taken.
    EXPECT_TRUE(sim->waitUntil([](const auto& lines) {
        return std::ranges::any_of(lines,
                                   [](const std::string& l) { return l.starts_with("send "); });
    }));
    EXPECT_TRUE(camera.waitUntil([](const auto& lines) {
        return std::ranges::any_of(lines,
                                   [](const std::string& l) { return l.starts_with("match "); });
    }));
    Flood flood(topology.name("devices"), "198.18.0.1", {3566, 3566, 3567});
    const auto started = std::chrono::steady_clock::now();
    const auto ended = search.waitAtMost(std::chrono::seconds(30)); // a safety net, no measure
    flood.stop();
    std::printf("search under a flood of %lld datagrams ended after %lld ms of it\n", flood.sent(),
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - started)
                                           .count()));
    ASSERT_TRUE(ended.has_value()) << "the search did not end under the flood";
    EXPECT_EQ(*ended, 0) << fileText(io.path() / "err");
    std::map<std::string, json> rows;
    for (json& row : json::parse(fileText(io.path() / "out")))
        rows[row["ip"].get<std::string>()] = row;
    EXPECT_EQ(rows.size(), 2u) << fileText(io.path() / "out");
    EXPECT_EQ(rows["198.18.1.1"]["protocol"], "native");
    EXPECT_EQ(rows["198.18.0.20"]["protocol"], "onvif");
    EXPECT_EQ(rows["198.18.0.20"]["mask"], "255.255.255.0") << "read under the flood";
}

} // namespace
} // namespace tavolix::e2e

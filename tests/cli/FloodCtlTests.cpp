// A flood at both answer ports once the devices have answered: the search still ends and lists
// them. How long it takes is bench_flood's to print, not an assertion here.
#include "CtlTest.h"
#include "Flood.h"

namespace tavolix::e2e {
namespace {

TEST_F(CtlTest, ASearchUnderAFloodEndsAndListsTheDevicesThatAnswered)
{
    startDevices({});
    ASSERT_FALSE(HasFatalFailure());
    DeviceSimProcess camera(topology.name("devices"), {"--interface", "veth0b"},
                            TAVOLIX_ONVIFSIM_PATH);
    ASSERT_TRUE(camera.waitReady());
    test::LaunchOptions options;
    options.arguments = {TAVOLIXCTL_PATH, "search", "--format", "csv", "--user", "admin"};
    options.environment = {"TAVOLIX_PASSWORD=admin"};
    options.networkNamespace = topology.name("host");
    options.outputFile = folder.path() / "out";
    test::ChildProcess search(options);
    for (auto [simulator, answered] : {std::pair{&*sim, "send "}, {&camera, "match "}})
        EXPECT_TRUE(simulator->waitUntil([&](const auto& lines) {
            return std::ranges::any_of(lines,
                                       [&](const auto& l) { return l.starts_with(answered); });
        }));
    Flood flood(topology.name("devices"), "198.18.0.1", {3566, 3566, 3567});
    const auto ended = search.waitAtMost(std::chrono::seconds(30)); // against a hang only
    flood.stop();
    std::printf("%lld datagrams of flood\n", flood.sent());
    EXPECT_EQ(ended, 0) << "the search did not end under the flood";
    const std::string listing = fileText(folder.path() / "out");
    EXPECT_THAT(listing, ContainsRegex("\n02005e100001,[^\n]*,198.18.1.1,255.254.0.0,"));
    EXPECT_THAT(listing, ContainsRegex("\n02005e200001,[^\n]*,198.18.0.20,255.255.255.0,"));
}

} // namespace
} // namespace tavolix::e2e

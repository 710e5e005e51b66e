// Cloned firmware: devices that answer with one MAC, cameras with one EndpointReference. Each is
// listed, also under a flood at both answer ports; no change goes to a MAC two devices share.
#include "CtlTest.h"
#include "Flood.h"

namespace tavolix::e2e {
namespace {

using ::testing::Contains;

TEST_F(CtlTest, ClonesAreListedUnderAFloodAndNoChangeGoesToAMacTheyShare)
{
    // Native clones at .10 and .11; ONVIF clones of one MAC (so one EndpointReference) at .20
    // and .30; cameras of their own MACs but one EndpointReference at .40 and .50.
    ASSERT_NO_FATAL_FAILURE(
        startDevices({"--count", "2", "--same-mac", "--ip-base", "198.18.0.10"}));
    ASSERT_NO_FATAL_FAILURE(startSite({{},
                                       {"--mac-base", "02005e200001"},
                                       {"--endpoint-uuid", "c10e"},
                                       {"--endpoint-uuid", "c10e"}}));
    // The search ends under a flood that starts once every device has answered (its time is
    // bench_flood's to print), and lists them all.
    test::LaunchOptions options;
    options.arguments = {TAVOLIXCTL_PATH, "search", "--user", "admin", "--columns", "mac,ip,flags"};
    options.environment = {"TAVOLIX_PASSWORD=admin"};
    options.networkNamespace = topology.name("host");
    options.outputFile = folder.path() / "listing";
    test::ChildProcess search(options);
    const auto said = [](DeviceSimProcess& simulator, const char* start, long times) {
        return simulator.waitUntil([&](const auto& lines) {
            return std::ranges::count_if(
                       lines, [&](const auto& l) { return l.starts_with(start); }) >= times;
        });
    };
    EXPECT_TRUE(said(*sim, "send ", 2));
    for (const auto& camera : cameras)
        EXPECT_TRUE(said(*camera, "match ", 1));
    Flood flood(topology.name("devices"), "198.18.0.1", {3566, 3566, 3567});
    EXPECT_EQ(search.waitAtMost(std::chrono::seconds(30)), 0)
        << "the search under the flood failed or did not end";
    flood.stop();
    std::printf("%lld datagrams of flood\n", flood.sent());
    EXPECT_EQ(fileText(folder.path() / "listing"), "mac           ip           flags\n"
                                                   "02005e100001  198.18.0.10  mac-conflict\n"
                                                   "02005e100001  198.18.0.11  mac-conflict\n"
                                                   "02005e200001  198.18.0.20  mac-conflict\n"
                                                   "02005e200001  198.18.0.30  mac-conflict\n"
                                                   "02005e400001  198.18.0.40\n"
                                                   "02005e500001  198.18.0.50\n");
    const std::string plan = writeFile("plan.csv", "mac,name\r\n02005e200001,Gate\r\n");
    const std::vector<std::string> refusedRuns[] = {
        {"set", "02005e100001", "--name", "Gate"},
        {"set", "02005e200001", "--name", "Gate"},
        {"apply", plan, "--dry-run"},
        {"apply", plan},
    };
    for (const std::vector<std::string>& arguments : refusedRuns) {
        const CtlResult result = asAdmin(arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments[0];
        EXPECT_THAT(result.err, ContainsRegex("2 devices answer with MAC 02005e[12]00001 \\(at "
                                              "198.18.0.[0-9]+, 198.18.0.[0-9]+\\)"));
        EXPECT_THAT(result.err, HasSubstr("nothing was sent"));
    }
    // The native clones saw searches only; no camera was called to change anything.
    expectSearchesThenMarker(1 + std::size(refusedRuns), "after-refusals");
    for (const auto& camera : cameras)
        EXPECT_THAT(camera->lines(), Not(Contains(HasSubstr(" Set")))) << "a camera changed";
}

} // namespace
} // namespace tavolix::e2e

// Cloned firmware: devices that answer with one MAC, cameras with one EndpointReference. Each is
// listed; no change goes to a MAC two devices answer with.
#include "CtlTest.h"

#include <map>

namespace tavolix::e2e {
namespace {

using nlohmann::json;

TEST_F(CtlTest, ClonesAreAllListedAndNoChangeGoesToAMacTheyShare)
{
    // Native clones at .10 and .11; ONVIF clones of one MAC (and so one EndpointReference) at
    // .20 and .30; two cameras of their own MACs but one EndpointReference at .40 and .50.
    startDevices({"--count", "2", "--same-mac", "--ip-base", "198.18.0.10"});
    ASSERT_FALSE(HasFatalFailure());
    const std::vector<std::vector<std::string>> cameraOptions = {
        {"--ip-base", "198.18.0.20", "--mac-base", "02005e200001"},
        {"--ip-base", "198.18.0.30", "--mac-base", "02005e200001"},
        {"--ip-base", "198.18.0.40", "--mac-base", "02005e400001", "--endpoint-uuid", "c10e"},
        {"--ip-base", "198.18.0.50", "--mac-base", "02005e500001", "--endpoint-uuid", "c10e"},
    };
    std::vector<std::unique_ptr<DeviceSimProcess>> cameras;
    for (std::vector<std::string> options : cameraOptions) {
        options.insert(options.end(), {"--interface", "veth0b", "--gateway", "198.18.0.1"});
        cameras.push_back(std::make_unique<DeviceSimProcess>(topology.name("devices"), options,
                                                             TAVOLIX_ONVIFSIM_PATH));
        ASSERT_TRUE(cameras.back()->waitReady());
    }
    const std::vector<std::string> login = {"--user", "admin"};
    const std::vector<std::string> password = {"TAVOLIX_PASSWORD=admin"};

    CtlResult result = ctl({"search", "--format", "json", "--user", "admin"}, password);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::map<std::string, json> rows;
    for (json& row : json::parse(result.out))
        rows[row["ip"].get<std::string>()] = row;
    // ip, mac, mac_conflict
    const std::tuple<std::string, std::string, bool> expected[] = {
        {"198.18.0.10", "02005e100001", true},  {"198.18.0.11", "02005e100001", true},
        {"198.18.0.20", "02005e200001", true},  {"198.18.0.30", "02005e200001", true},
        {"198.18.0.40", "02005e400001", false}, {"198.18.0.50", "02005e500001", false},
    };
    EXPECT_EQ(rows.size(), std::size(expected)) << result.out;
    for (const auto& [ip, mac, conflict] : expected) {
        EXPECT_EQ(rows[ip]["mac"], mac) << ip;
        EXPECT_EQ(rows[ip]["mac_conflict"], conflict) << ip;
        EXPECT_EQ(rows[ip]["ip_conflict"], false) << ip;
    }
    EXPECT_THAT(ctl({"search", "--columns", "ip,flags"}).out,
                HasSubstr("198.18.0.11  mac-conflict\n"));

    // set, a plan's check (a dry run) and apply: each refused before anything is sent.
    const std::string plan = writeFile("plan.csv", "mac,name\r\n02005e200001,Gate\r\n");
    const std::vector<std::vector<std::string>> refusedRuns = {
        {"set", "02005e100001", "--name", "Gate"},
        {"set", "02005e200001", "--name", "Gate"},
        {"apply", plan, "--dry-run"},
        {"apply", plan},
    };
    for (std::vector<std::string> arguments : refusedRuns) {
        arguments.insert(arguments.end(), login.begin(), login.end());
        result = ctl(arguments, password);
        EXPECT_EQ(result.exitCode, 2) << arguments[0] << result.err;
        EXPECT_THAT(result.err, ContainsRegex("2 devices answer with MAC 02005e[12]00001 \\(at "
                                              "198\\.18\\.0\\.[0-9]+, 198\\.18\\.0\\.[0-9]+\\)"));
        EXPECT_THAT(result.err, HasSubstr("nothing was sent"));
    }
    const CtlResult planned =
        ctl({"plan", "--ip-from", "198.18.0.100", "--user", "admin"}, password);
    EXPECT_THAT(planned.out, Not(HasSubstr("02005e100001")));
    EXPECT_THAT(planned.out, Not(HasSubstr("02005e200001")));
    EXPECT_THAT(planned.out, HasSubstr("02005e400001"));
    // The native clones saw searches only; no camera was called to change anything.
    expectSearchesThenMarker(1 + 1 + refusedRuns.size() + 1, "after-refusals");
    for (const auto& camera : cameras) {
        for (const std::string& line : camera->lines())
            EXPECT_THAT(line, Not(HasSubstr(" Set"))) << line;
    }
}

} // namespace
} // namespace tavolix::e2e

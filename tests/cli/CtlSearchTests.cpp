// tavolixctl search (and the exit codes of any sub-command that cannot work)
// against simulated devices in network namespaces.
#include "CtlTest.h"

#include <algorithm>

namespace tavolix::e2e {
namespace {

using nlohmann::json;

class CtlSearchTest : public CtlTest
{};

TEST_F(CtlSearchTest, NamesTheInterfaceEachReplyCameInOnAndWhetherTheDeviceIsOnLink)
{
    ASSERT_TRUE(topology.addNamespace("host")) << topology.error();
    ASSERT_TRUE(topology.addNamespace("site")) << topology.error();
    ASSERT_TRUE(topology.addNamespace("bench")) << topology.error();
    ASSERT_TRUE(topology.link("host", "198.18.0.1/24", "site", "198.18.0.2/24"));
    ASSERT_TRUE(topology.link("host", "198.19.0.1/24", "bench", "198.19.0.2/24"));
    DeviceSimProcess site(topology.name("site"), {"--count", "2", "--ip-base", "198.18.0.20"});
    // Fresh out of the box: every device on one factory address, off link.
    DeviceSimProcess bench(topology.name("bench"), {"--count", "2", "--mac-base", "02005e200001",
                                                    "--ip-base", "192.168.1.108", "--same-ip"});
    ASSERT_TRUE(site.waitReady() && bench.waitReady());

    const struct
    {
        std::vector<std::string> interfaces;
        std::vector<std::string> rows; // mac interface source on_link ip_conflict, in IP order
    } cases[] = {
        {{},
         {"02005e200001 veth1a 198.19.0.2 false true", "02005e200002 veth1a 198.19.0.2 false true",
          "02005e100001 veth0a 198.18.0.2 true false",
          "02005e100002 veth0a 198.18.0.2 true false"}},
        {{"--interface", "veth0a"},
         {"02005e100001 veth0a 198.18.0.2 true false",
          "02005e100002 veth0a 198.18.0.2 true false"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments = {"search", "--format", "json", "--timeout", "800"};
        arguments.insert(arguments.end(), c.interfaces.begin(), c.interfaces.end());
        const CtlResult result = ctl(arguments);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        std::vector<std::string> rows;
        for (const json& device : json::parse(result.out)) {
            rows.push_back(device["mac"].get<std::string>() + " " +
                           device["interface"].get<std::string>() + " " +
                           device["source"].get<std::string>() + " " + device["on_link"].dump() +
                           " " + device["ip_conflict"].dump());
        }
        EXPECT_EQ(rows, c.rows);
    }
}

TEST_F(CtlSearchTest, HostileDeviceNamesReachNoTerminalSpreadsheetOrParserRaw)
{
    // A formula, a comma and quotes, a screen-clearing escape, a Latin-1
    // byte, a right-to-left override and a backslash.
    const std::string hostile = "=1+2,\"q\"\x1b[2J\xe9\xe2\x80\xae\\";
    startDevices({"--count", "2", "--name", hostile, "--ip-base", "198.18.0.10"});
    ASSERT_FALSE(HasFatalFailure());
    const std::string escaped = "=1+2,\"q\"\\x1b[2J\\xe9\\xe2\\x80\\xae\\\\";
    for (const std::string format : {"table", "csv", "json"}) {
        const CtlResult result = ctl({"search", "--timeout", "800", "--format", format});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        for (const char c : result.out) {
            const auto byte = static_cast<unsigned char>(c);
            ASSERT_TRUE(c == '\n' || c == '\r' || (byte >= 0x20 && byte != 0x7f)) << format;
        }
        EXPECT_THAT(result.out, Not(HasSubstr("\xe9"))) << format;
        EXPECT_THAT(result.out, Not(HasSubstr("\xe2\x80\xae"))) << format;
        if (format == "json") {
            EXPECT_EQ(json::parse(result.out)[0]["name"], escaped + "-001");
        } else if (format == "csv") {
            EXPECT_THAT(result.out, HasSubstr(",\"'=1+2,\"\"q\"\""));
        } else {
            EXPECT_THAT(result.out, HasSubstr(escaped + "-001"));
        }
    }
    // The listing is a plan: read back, the names equal the devices' own
    // bytes, so applying it unchanged sends nothing but the search.
    const std::string plan = writeFile("plan.csv", ctl({"search", "--timeout", "800"}).out);
    const CtlResult applied = ctl({"apply", plan, "--user", "admin"}, {"TAVOLIX_PASSWORD=admin"});
    EXPECT_EQ(applied.exitCode, 0) << applied.err;
    EXPECT_EQ(std::count(applied.out.begin(), applied.out.end(), '\n'), 3) << applied.out;
    EXPECT_THAT(applied.out, HasSubstr("unchanged"));
    expectSearchesThenMarker(5, "after-apply");
}

TEST_F(CtlSearchTest, SystemAndSilenceFailuresGiveTheirExitCodesAndSayWhy)
{
    makeHostAndDevices();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(topology.addNamespace("unlinked")) << topology.error();

    // No device answers: exit 1, and stderr says where it listened and for how long.
    CtlResult result = ctl({"search", "--timeout", "300", "--format", "json"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "[]\n");
    EXPECT_THAT(result.err, HasSubstr("within 300 ms on veth0a 198.18.0.1"));
    EXPECT_THAT(result.err, HasSubstr("firewall must let UDP port 3566 in"));

    result = CtlProcess(topology.name("unlinked"), {"search"}).finish();
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_THAT(result.err, HasSubstr("no usable interface"));

    result = ctl({"plan", "--ip-from", "198.18.0.10", "--interface", "eth9"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_THAT(result.err, HasSubstr("eth9"));

    // Another program, such as the window, holds port 3566.
    DeviceSimProcess holder(topology.name("host"), {"--port", "3566"});
    ASSERT_TRUE(holder.waitReady());
    result = ctl({"search"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_THAT(result.err, HasSubstr("cannot bind UDP port 3566"));
    EXPECT_THAT(result.err, HasSubstr("is a Tavolix window open?"));
    EXPECT_EQ(result.out, "");
}

} // namespace
} // namespace tavolix::e2e

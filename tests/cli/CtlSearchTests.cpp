// tavolixctl search (and the exit codes of any sub-command that cannot work)
// against simulated devices in network namespaces.
#include "ByteImage.h"
#include "Csv.h"
#include "CtlTest.h"
#include "DeviceListing.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tavolix::e2e {
namespace {

using nlohmann::json;

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

class CtlSearchTest : public CtlTest
{};

TEST_F(CtlSearchTest, ListsFiftyDevicesSortedInEveryFormat)
{
    startDevices({"--count", "50", "--ip-base", "198.18.0.10", "--quiet"});
    ASSERT_FALSE(HasFatalFailure());
    const auto ipOfRow = [](int i) { return "198.18.0." + std::to_string(10 + i); };

    const CtlResult csv = ctl({"search", "--timeout", "1000"}); // not a terminal: CSV
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    std::string error;
    const auto table = cli::parseCsv(csv.out, error);
    ASSERT_TRUE(table.has_value()) << error;
    ASSERT_EQ(table->size(), 51u);
    EXPECT_EQ(table->front(), cli::listingColumns());
    for (int i = 0; i < 50; ++i) {
        const cli::CsvRow& row = (*table)[static_cast<std::size_t>(i) + 1];
        EXPECT_EQ(row[2], ipOfRow(i));
        EXPECT_EQ((std::vector<std::string>(row.begin() + 10, row.end())),
                  (std::vector<std::string>{"veth0a", "198.18.0.2", "true", "false"}));
    }

    const CtlResult asJson = ctl({"search", "--timeout", "1000", "--format", "json"});
    ASSERT_EQ(asJson.exitCode, 0) << asJson.err;
    const json list = json::parse(asJson.out);
    ASSERT_TRUE(list.is_array());
    ASSERT_EQ(list.size(), 50u);
    std::vector<std::string> keys;
    const auto inOrder = nlohmann::ordered_json::parse(asJson.out);
    for (const auto& [key, value] : inOrder[0].items())
        keys.push_back(key);
    EXPECT_EQ(keys, cli::listingColumns());
    EXPECT_EQ(list[7]["ip"], ipOfRow(7));
    EXPECT_EQ(list[7]["mac"], "02005e100008");
    EXPECT_EQ(list[7]["http_port"], 80);
    EXPECT_EQ(list[7]["kind"], 1);
    EXPECT_EQ(list[7]["on_link"], true);
    EXPECT_EQ(list[7]["mode"], "static");
    EXPECT_FALSE(list[7].contains("pppoe_password"));

    const CtlResult asTable = ctl({"search", "--timeout", "1000", "--format", "table"});
    ASSERT_EQ(asTable.exitCode, 0) << asTable.err;
    const auto lines = linesOf(asTable.out);
    ASSERT_EQ(lines.size(), 51u);
    EXPECT_TRUE(lines[0].starts_with("mac           name     ip"));
    EXPECT_TRUE(lines[50].starts_with("02005e100032  SIM-050  198.18.0.59")) << lines[50];
}

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
        EXPECT_EQ(result.out.find("\xe9"), std::string::npos) << format;
        EXPECT_EQ(result.out.find("\xe2\x80\xae"), std::string::npos) << format;
        if (format == "json") {
            EXPECT_EQ(json::parse(result.out)[0]["name"], escaped + "-001");
        } else if (format == "csv") {
            EXPECT_NE(result.out.find(",\"'=1+2,\"\"q\"\""), std::string::npos) << result.out;
        } else {
            EXPECT_NE(result.out.find(escaped + "-001"), std::string::npos) << result.out;
        }
    }
    // The listing is a plan: read back, the names equal the devices' own
    // bytes, so applying it unchanged sends nothing but the search.
    const std::string plan = writeFile("plan.csv", ctl({"search", "--timeout", "800"}).out);
    const CtlResult applied = ctl({"apply", plan, "--user", "admin"}, {"TAVOLIX_PASSWORD=admin"});
    EXPECT_EQ(applied.exitCode, 0) << applied.err;
    EXPECT_EQ(linesOf(applied.out).size(), 3u) << applied.out;
    EXPECT_NE(applied.out.find("unchanged"), std::string::npos) << applied.out;
    syncWith(*sim, devicesAddress, "after-apply");
    const auto received = sim->datagrams("recv");
    for (std::size_t i = 0; i + 1 < received.size(); ++i)
        EXPECT_EQ(received[i].bytes, searchRequestImage()) << i;
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
    EXPECT_NE(result.err.find("within 300 ms on veth0a 198.18.0.1"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("firewall must let UDP port 3566 in"), std::string::npos);

    result = runCtl(topology.name("unlinked"), {"search"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_NE(result.err.find("no usable interface"), std::string::npos) << result.err;

    result = ctl({"plan", "--ip-from", "198.18.0.10", "--interface", "eth9"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_NE(result.err.find("eth9"), std::string::npos) << result.err;

    // Another program, such as the window, holds port 3566.
    const test::ScopedNetns inHost(topology.name("host"));
    ASSERT_TRUE(inHost.entered()) << inHost.error();
    const int holder = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(3566);
    ASSERT_EQ(::bind(holder, static_cast<const sockaddr*>(static_cast<const void*>(&local)),
                     sizeof local),
              0);
    result = ctl({"search"});
    ::close(holder);
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_NE(result.err.find("cannot bind UDP port 3566"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("is a Tavolix window open?"), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
}

} // namespace
} // namespace tavolix::e2e

// A search behind a host firewall. A broadcast sets up no connection that a
// device's reply could be matched to, so a firewall that drops unsolicited
// datagrams to UDP 3566 drops every reply; the rule that the shipped
// firewalld service and ufw profile stand for lets them in again.
#include "ChildProcess.h"
#include "NamespaceTest.h"
#include "WorkerHarness.h"

#include <chrono>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

namespace tavolix::e2e {
namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct OpenedPort
{
    std::string protocol;
    std::string port;
    bool operator==(const OpenedPort&) const = default;
};

// The one port of the ufw application profile ("ports=3566/udp").
std::optional<OpenedPort> ufwProfilePort(const std::string& text)
{
    std::smatch match;
    static const std::regex line(R"(^ports=(\d+)/(udp|tcp)\s*$)", std::regex::multiline);
    if (!std::regex_search(text, match, line))
        return std::nullopt;
    return OpenedPort{match[2], match[1]};
}

// The one port of the firewalld service (<port protocol="udp" port="3566"/>).
std::optional<OpenedPort> firewalldServicePort(const std::string& text)
{
    std::smatch element;
    if (!std::regex_search(text, element, std::regex(R"(<port\s[^>]*>)")))
        return std::nullopt;
    const std::string tag = element.str();
    std::smatch protocol;
    std::smatch port;
    if (!std::regex_search(tag, protocol, std::regex(R"re(protocol="(\w+)")re")) ||
        !std::regex_search(tag, port, std::regex(R"re(port="(\d+)")re")))
        return std::nullopt;
    return OpenedPort{protocol[1], port[1]};
}

auto hasRows(std::size_t count)
{
    return [count](const WorkerUiState& s) { return s.rows.size() == count; };
}

class FirewallTest : public NamespaceTest
{
protected:
    void SetUp() override
    {
        NamespaceTest::SetUp();
        if (IsSkipped())
            return;
        m_nft = test::findProgram("nft");
        if (m_nft.empty())
            GTEST_SKIP() << "nft is not installed (scripts/install-deps.sh installs nftables)";
    }

    // Runs one nft command line in the host namespace.
    test::CommandResult nft(const std::string& commands)
    {
        return test::runCommand({"ip", "netns", "exec", topology.name("host"), m_nft, commands});
    }

    // Packets the drop rule has dropped so far; -1 when it cannot be read.
    int droppedCount()
    {
        const test::CommandResult listed = nft("list chain inet tavolix_test input");
        std::smatch match;
        if (listed.exitCode != 0 ||
            !std::regex_search(listed.output, match, std::regex(R"(counter packets (\d+))")))
            return -1;
        return std::stoi(match[1]);
    }

    bool waitForDropped(int count)
    {
        for (int attempt = 0; attempt < 200; ++attempt) {
            if (droppedCount() >= count)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

private:
    std::string m_nft;
};

TEST_F(FirewallTest, RepliesAreListedOnlyOnceTheProfilesPortIsAccepted)
{
    const auto ufwPort = ufwProfilePort(readFile(TAVOLIX_PACKAGING_DIR "/ufw-tavolix"));
    const auto firewalldPort =
        firewalldServicePort(readFile(TAVOLIX_PACKAGING_DIR "/firewalld-tavolix.xml"));
    ASSERT_TRUE(ufwPort.has_value()) << "no ports= line in the ufw profile";
    ASSERT_TRUE(firewalldPort.has_value()) << "no port element in the firewalld service";
    ASSERT_EQ(*ufwPort, *firewalldPort) << "the two profiles open different ports";

    startDevices({"--count", "8", "--mac-base", "02005e400001"});
    ASSERT_FALSE(HasFatalFailure());
    // A desktop firewall: traffic of connections the host started is let in,
    // datagrams to the search port are dropped.
    const test::CommandResult ruleset =
        nft("add table inet tavolix_test; "
            "add chain inet tavolix_test input "
            "{ type filter hook input priority filter; policy accept; }; "
            "add rule inet tavolix_test input ct state established,related accept; "
            "add rule inet tavolix_test input udp dport 3566 counter drop");
    ASSERT_EQ(ruleset.exitCode, 0) << ruleset.output;

    WorkerHarness worker;
    ASSERT_TRUE(worker.start(topology.name("host"))) << worker.error();
    ASSERT_TRUE(sim->waitForLine("answered 8 of 8"));
    ASSERT_TRUE(waitForDropped(8)) << "dropped: " << droppedCount();
    // Every reply was dropped before the socket: nothing listed, and nothing
    // tells the user why.
    EXPECT_TRUE(worker.ui.state().rows.empty());
    EXPECT_EQ(worker.ui.state().statusTexts, std::vector<std::string>{"OK"});

    // The profiles' rule, ahead of the drop.
    const test::CommandResult accepted =
        nft("insert rule inet tavolix_test input " + ufwPort->protocol + " dport " + ufwPort->port +
            " accept");
    ASSERT_EQ(accepted.exitCode, 0) << accepted.output;
    worker.control.setCommand(SearchCommand);
    EXPECT_TRUE(worker.ui.waitUntil(hasRows(8))) << "rows: " << worker.ui.state().rows.size();
    EXPECT_EQ(droppedCount(), 8) << "a reply of the second search was dropped";
}

} // namespace
} // namespace tavolix::e2e

// A search behind a host firewall. A broadcast sets up no connection that a
// device's reply could be matched to, so a firewall that drops unsolicited
// datagrams to UDP 3566 drops every reply; the rule that the shipped
// firewalld service and ufw profile stand for lets them in again.
#include "NamespaceTest.h"
#include "WorkerHarness.h"

#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace tavolix::e2e {
namespace {

std::string packagingFile(const char* name)
{
    std::ifstream in(std::string(TAVOLIX_PACKAGING_DIR "/") + name);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class FirewallTest : public NamespaceTest
{
protected:
    void SetUp() override
    {
        NamespaceTest::SetUp();
        if (!IsSkipped() && m_nft.empty())
            GTEST_SKIP() << "nft is not installed (scripts/install-deps.sh installs nftables)";
    }

    test::CommandResult nft(const std::string& commands)
    {
        return test::runCommand({"ip", "netns", "exec", topology.name("host"), m_nft, commands});
    }

    // Packets the drop rule has dropped, once it has dropped at least `count`; -1 if unreadable.
    int droppedCount(int count = 0)
    {
        for (int attempt = 0; attempt < 200; ++attempt) {
            const test::CommandResult listed = nft("list chain inet tavolix_test input");
            std::smatch match;
            if (listed.exitCode != 0 ||
                !std::regex_search(listed.output, match, std::regex(R"(counter packets (\d+))")))
                return -1;
            if (const int dropped = std::stoi(match[1]); dropped >= count || attempt == 199)
                return dropped;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;
    }

private:
    const std::string m_nft = test::findProgram("nft");
};

TEST_F(FirewallTest, RepliesAreListedOnlyOnceTheProfilesPortIsAccepted)
{
    // The port the rule below opens is the one both profiles name.
    EXPECT_NE(packagingFile("ufw-tavolix").find("\nports=3566/udp\n"), std::string::npos);
    EXPECT_NE(packagingFile("firewalld-tavolix.xml").find(R"(<port protocol="udp" port="3566"/>)"),
              std::string::npos);

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
    ASSERT_EQ(droppedCount(8), 8);
    // Every reply was dropped before the socket: nothing listed, and nothing
    // tells the user why.
    EXPECT_TRUE(worker.ui.state().rows.empty());
    EXPECT_EQ(worker.ui.state().statusTexts, std::vector<std::string>{"OK"});

    // The profiles' rule, ahead of the drop.
    const test::CommandResult accepted =
        nft("insert rule inet tavolix_test input udp dport 3566 accept");
    ASSERT_EQ(accepted.exitCode, 0) << accepted.output;
    worker.control.setCommand(SearchCommand);
    EXPECT_TRUE(worker.ui.waitUntil([](const WorkerUiState& s) { return s.rows.size() == 8; }))
        << "rows: " << worker.ui.state().rows.size();
    EXPECT_EQ(droppedCount(), 8) << "a reply of the second search was dropped";
}

} // namespace
} // namespace tavolix::e2e

// The worker against simulated devices: what only real sockets, threads and devices show.
#include "ByteImage.h"
#include "NamespaceTest.h"
#include "WorkerHarness.h"

#include <poll.h>
#include <set>

namespace tavolix::e2e {
namespace {

class WorkerTest : public NamespaceTest
{
protected:
    WorkerHarness worker;
};

// Two interfaces, no default route: the worker must broadcast out of each itself. The west
// devices broadcast replies longer than a request, without a kind record.
TEST_F(WorkerTest, SearchReachesDevicesBehindEveryInterface)
{
    ASSERT_NO_FATAL_FAILURE(startDevices({"--count", "4", "--name", "EAST"}));
    ASSERT_TRUE(topology.addNamespace("west") &&
                topology.link("host", "198.18.2.1/24", "west", "198.18.2.2/24"))
        << topology.error();
    DeviceSimProcess& east = *sim;
    DeviceSimProcess west(topology.name("west"),
                          {"--count", "6", "--name", "WEST", "--mac-base", "02005e300001",
                           "--ip-base", "198.18.3.1", "--reply", "broadcast", "--padding", "1500",
                           "--kind", "0"});
    ASSERT_TRUE(west.waitReady());
    ASSERT_TRUE(worker.start(topology.name("host"))) << worker.error();

    ASSERT_TRUE(worker.ui.waitUntil([](const WorkerUiState& s) { return s.rows.size() == 10; }))
        << "rows: " << worker.ui.state().rows.size();
    // Start-up, the send and every reply all say "OK": the window is told once.
    EXPECT_EQ(worker.ui.state().statusTexts, std::vector<std::string>{"OK"});

    // Each side saw one search, from the host's address on its own link; its
    // "answered" line comes after its "recv" line.
    ASSERT_TRUE(east.waitForLine("answered 4 of 4") && west.waitForLine("answered 6 of 6"));
    for (auto [side, peer] : {std::pair{&east, "198.18.0.1:3566"}, {&west, "198.18.2.1:3566"}}) {
        const auto received = side->datagrams("recv");
        ASSERT_EQ(received.size(), 1u) << peer;
        EXPECT_EQ(received[0].peer, peer);
        EXPECT_EQ(received[0].bytes, test::searchRequestImage()) << peer;
    }
    EXPECT_EQ(west.datagrams("send")[0].peer, "255.255.255.255:3566");
    EXPECT_EQ(west.datagrams("send")[0].bytes.size(), 179u + 1500u);

    // Ten names for ten slots: every device of both sides is stored once (what its records
    // hold: ReplyTests).
    std::set<std::string> names;
    for (int slot = 246; slot <= 255; ++slot)
        names.emplace(fieldText(worker.control.table.recordAt(slot)->name));
    EXPECT_EQ(names.size(), 10u);
}

// The device itself says which settings it took, and a new search shows them.
TEST_F(WorkerTest, ConfigurationChangesTheDeviceAndASearchShowsIt)
{
    ASSERT_NO_FATAL_FAILURE(
        startDevices({"--count", "3", "--name", "CAM", "--login", "maintenance:Pass-word-2024",
                      "--mac-base", "02005e100001"}));
    ASSERT_TRUE(worker.start(topology.name("host"))) << worker.error();
    ASSERT_TRUE(worker.ui.waitUntil([](const WorkerUiState& s) { return s.rows.size() == 3; }));
    // Replies arrive in the order sent: the first device takes slot 255.
    const MacAddress target = {0x02, 0x00, 0x5e, 0x10, 0x00, 0x02};
    ASSERT_EQ(worker.control.table.recordAt(254)->mac, target);
    worker.ui.setChoiceChecked(WorkerChoice::Pppoe, true);
    worker.ui.setFields({{WorkerField::MacGroupCaption, "02005e100002"},
                         {WorkerField::LoginAccount, "maintenance"},
                         {WorkerField::LoginPassword, "Pass-word-2024"},
                         {WorkerField::Name, "Lobby-Cam"},
                         {WorkerField::IpAddress, "198.18.7.20"},
                         {WorkerField::SubnetMask, "255.255.255.0"},
                         {WorkerField::Gateway, "198.18.7.1"},
                         {WorkerField::HttpPort, "8080"},
                         {WorkerField::PppoeAccount, "dsl-user@isp.example"}});
    worker.control.setCommand(ConfigureCommand);
    ASSERT_TRUE(sim->waitForLine("apply 02005e100002 name pppoe-account ip mask gateway port mode"))
        << sim->lines().back();
    EXPECT_EQ(sim->datagrams("recv").size(), 2u) << "the search and the configuration";

    // After the send the command is cleared and the display reset. Submit with no device
    // selected sends the whole search instead, which shows the new settings on the target only.
    ASSERT_TRUE(worker.ui.waitUntil([](const WorkerUiState& s) { return s.resetCount == 2; }));
    EXPECT_EQ(worker.control.command.load(), NoCommand);
    worker.ui.setField(WorkerField::MacGroupCaption, "ffffffffffff");
    worker.control.setCommand(ConfigureCommand);
    ASSERT_TRUE(worker.ui.waitUntil(
        [](const WorkerUiState& s) { return s.resetCount == 3 && s.rows.size() == 3; }));
    EXPECT_EQ(sim->datagrams("recv").at(2).bytes, test::searchRequestImage());
    // The wake-up that brought the command is drained, or the worker would spin.
    pollfd wakeUp{worker.control.wakeUp.fd(), POLLIN, 0};
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (::poll(&wakeUp, 1, 0) != 0 && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(::poll(&wakeUp, 1, 0), 0) << "the wake-up signal stays set";
    const auto changed = worker.control.table.recordAt(254);
    ASSERT_EQ(changed->mac, target);
    EXPECT_EQ(fieldText(changed->name), "Lobby-Cam");
    EXPECT_EQ(changed->networkMode, (std::array<uint8_t, 4>{0x01, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(fieldText(changed->pppoeAccount), "dsl-user@isp.example");
    EXPECT_EQ(fieldText(worker.control.table.recordAt(255)->name), "CAM-001");
}

TEST_F(WorkerTest, PortTakenEndsStartUpWithBindError)
{
    ASSERT_NO_FATAL_FAILURE(startDevices({"--count", "2"}));
    // A second simulator in the host holds the search port.
    DeviceSimProcess holder(topology.name("host"), {"--port", "3566"});
    ASSERT_TRUE(holder.waitReady()) << holder.lines().size();

    ASSERT_TRUE(worker.start(topology.name("host"))) << worker.error();
    EXPECT_EQ(worker.waitForEnd(), WorkerStartFailed) << "the worker did not end by itself";
    EXPECT_EQ(worker.control.stop.load(), 1);
    EXPECT_EQ(worker.ui.state().statusTexts,
              (std::vector<std::string>{"OK", "ERR: bind() error! Errorcode =98\n"}));

    syncWith(*sim, devicesAddress, "after-failed-start");
    EXPECT_EQ(sim->datagrams("recv").size(), 1u) << "only the marker: the worker never sent";
}

} // namespace
} // namespace tavolix::e2e

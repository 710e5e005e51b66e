// A search from the network worker, answered by simulated devices in another
// namespace: the request on the wire, and the table and list it fills.
#include "ByteImage.h"
#include "MacCodec.h"
#include "NamespaceTest.h"
#include "WorkerHarness.h"

#include <map>

namespace tavolix::e2e {
namespace {

auto hasRows(std::size_t count)
{
    return [count](const WorkerUiState& s) { return s.rows.size() == count; };
}

class WorkerSearchTest : public NamespaceTest
{};

TEST_F(WorkerSearchTest, SearchFillsTableAndListWithEveryDevice)
{
    startDevices({"--count", "20", "--name", "CAM", "--kind", "3", "--mode", "dhcp", "--http-port",
                  "8080", "--mac-base", "02005e100001"});
    ASSERT_FALSE(HasFatalFailure());
    WorkerHarness worker;
    ASSERT_TRUE(worker.start(topology.name("host"))) << worker.error();

    ASSERT_TRUE(worker.ui.waitUntil(hasRows(20)));
    syncWith(*sim, devicesAddress, "sync-1");

    // Exactly one search left the host, byte for byte, from port 3566.
    const auto received = sim->datagrams("recv");
    ASSERT_EQ(received.size(), 2u) << "only the search and the marker";
    EXPECT_EQ(received[0].peer, "198.18.0.1:3566");
    EXPECT_EQ(describeDifference(received[0].bytes, searchRequestImage()), "");

    // Replies arrive in the order sent: the first device takes slot 255.
    EXPECT_EQ(worker.control.table.usedSlotCount(), 20);
    const auto first = worker.control.table.recordAt(255);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(fieldText(first->name), "CAM-001");
    EXPECT_EQ(first->mac, (MacAddress{0x02, 0x00, 0x5e, 0x10, 0x00, 0x01}));
    EXPECT_EQ(fieldText(first->ipAddress), "198.18.1.1");
    EXPECT_EQ(first->httpPort, 8080);
    EXPECT_EQ(first->networkMode, (std::array<uint8_t, 4>{0xFF, 0xFF, 0x01, 0xFF}));
    EXPECT_EQ(first->kind, DeviceKind::ReadOnly);
    EXPECT_EQ(fieldText(worker.control.table.recordAt(236)->name), "CAM-020");

    const WorkerUiState state = worker.ui.state();
    EXPECT_EQ(state.rows.front(), "236 CAM-020");
    EXPECT_EQ(state.rows.back(), "255 CAM-001");
    // Start-up, the send and every reply all say "OK": the window is told once.
    EXPECT_EQ(state.statusTexts, std::vector<std::string>{"OK"});
}

// Replies broadcast to port 3566, longer than a request (padded with records
// of an unknown tag) and without a DeviceKind record.
TEST_F(WorkerSearchTest, LongBroadcastRepliesAreCollected)
{
    startDevices({"--count", "5", "--reply", "broadcast", "--padding", "1500", "--kind", "0"});
    ASSERT_FALSE(HasFatalFailure());
    WorkerHarness worker;
    ASSERT_TRUE(worker.start(topology.name("host"))) << worker.error();

    ASSERT_TRUE(worker.ui.waitUntil(hasRows(5)));
    ASSERT_TRUE(sim->waitForLine("answered 5 of 5"));
    const auto sent = sim->datagrams("send");
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(sent[0].peer, "255.255.255.255:3566");
    EXPECT_EQ(sent[0].bytes.size(), 179u + 1500u);
    const auto first = worker.control.table.recordAt(255);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(fieldText(first->name), "SIM-001");
    EXPECT_EQ(first->kind, DeviceKind::Unstated);
}

// Two interfaces and no default route: a plain send to 255.255.255.255 would
// find no route at all; the worker must go out of each interface itself.
TEST_F(WorkerSearchTest, SearchReachesDevicesBehindEveryInterface)
{
    ASSERT_TRUE(topology.addNamespace("host")) << topology.error();
    ASSERT_TRUE(topology.addNamespace("east")) << topology.error();
    ASSERT_TRUE(topology.addNamespace("west")) << topology.error();
    ASSERT_TRUE(topology.link("host", "198.18.0.1/24", "east", "198.18.0.2/24"))
        << topology.error();
    ASSERT_TRUE(topology.link("host", "198.18.2.1/24", "west", "198.18.2.2/24"))
        << topology.error();
    DeviceSimProcess east(topology.name("east"),
                          {"--count", "4", "--name", "EAST", "--mac-base", "02005e200001"});
    DeviceSimProcess west(topology.name("west"), {"--count", "6", "--name", "WEST", "--mac-base",
                                                  "02005e300001", "--ip-base", "198.18.3.1"});
    ASSERT_TRUE(east.waitReady());
    ASSERT_TRUE(west.waitReady());
    WorkerHarness worker;
    ASSERT_TRUE(worker.start(topology.name("host"))) << worker.error();

    ASSERT_TRUE(worker.ui.waitUntil(hasRows(10))) << "rows: " << worker.ui.state().rows.size();
    EXPECT_EQ(worker.ui.state().statusTexts, std::vector<std::string>{"OK"});

    // Each side saw the search once, from the host's address on its own link.
    // Its "answered" line comes after its "recv" line.
    ASSERT_TRUE(east.waitForLine("answered 4 of 4"));
    ASSERT_TRUE(west.waitForLine("answered 6 of 6"));
    ASSERT_EQ(east.datagrams("recv").size(), 1u);
    EXPECT_EQ(east.datagrams("recv")[0].peer, "198.18.0.1:3566");
    ASSERT_EQ(west.datagrams("recv").size(), 1u);
    EXPECT_EQ(west.datagrams("recv")[0].peer, "198.18.2.1:3566");

    std::map<std::string, int> devicesPerSide;
    for (int slot = 246; slot <= 255; ++slot)
        ++devicesPerSide[std::string(fieldText(worker.control.table.recordAt(slot)->name), 0, 4)];
    EXPECT_EQ(devicesPerSide, (std::map<std::string, int>{{"EAST", 4}, {"WEST", 6}}));
}

} // namespace
} // namespace tavolix::e2e

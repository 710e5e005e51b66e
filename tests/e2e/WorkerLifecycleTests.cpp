// The network worker's start-up failure and its stop while it waits on the window.
#include "MacCodec.h"
#include "NamespaceTest.h"
#include "UniqueFd.h"
#include "WorkerHarness.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace tavolix::e2e {
namespace {

class WorkerLifecycleTest : public NamespaceTest
{
protected:
    void SetUp() override
    {
        NamespaceTest::SetUp();
        if (IsSkipped())
            return;
        startDevices({"--count", "2"});
    }

    WorkerHarness worker;
};

TEST_F(WorkerLifecycleTest, PortTakenEndsStartUpWithBindError)
{
    UniqueFd holder;
    {
        const test::ScopedNetns inHost(topology.name("host"));
        ASSERT_TRUE(inHost.entered()) << inHost.error();
        holder.reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(3566);
        ASSERT_EQ(::bind(holder.get(), static_cast<const sockaddr*>(static_cast<void*>(&local)),
                         sizeof local),
                  0);
    }

    ASSERT_TRUE(worker.start(topology.name("host"))) << worker.error();
    const auto result = worker.waitForEnd();
    ASSERT_TRUE(result.has_value()) << "the worker did not end by itself";
    EXPECT_EQ(*result, WorkerStartFailed);
    EXPECT_EQ(worker.control.stop.load(), 1);
    EXPECT_EQ(worker.ui.state().statusTexts,
              (std::vector<std::string>{"OK", "ERR: bind() error! Errorcode =98\n"}));

    syncWith(*sim, devicesAddress, "after-failed-start");
    EXPECT_EQ(sim->datagrams("recv").size(), 1u) << "only the marker: the worker never sent";
}

TEST_F(WorkerLifecycleTest, StopEndsWorkerWhileMessageBoxIsOpen)
{
    ASSERT_TRUE(worker.start(topology.name("host"))) << worker.error();
    ASSERT_TRUE(worker.ui.waitUntil([](const WorkerUiState& s) { return s.rows.size() == 2; }));

    // A device is selected but the login account is empty.
    worker.ui.setField(WorkerField::MacGroupCaption,
                       macToText(worker.control.table.recordAt(255)->mac));
    worker.ui.setField(WorkerField::LoginPassword, "secret");
    worker.control.setCommand(ConfigureCommand);
    ASSERT_TRUE(
        worker.ui.waitUntil([](const WorkerUiState& s) { return !s.messageBoxes.empty(); }));
    EXPECT_EQ(worker.ui.state().messageBoxes.front(), "No Account !!");

    // The box is never dismissed: stop alone must end the worker.
    worker.control.requestStop();
    const auto result = worker.waitForEnd();
    ASSERT_TRUE(result.has_value()) << "the worker did not end while its box was open";
    EXPECT_EQ(*result, WorkerEnded);
    EXPECT_EQ(worker.ui.state().resetCount, 1) << "no display reset after the box";

    // No fallback search went out after the box.
    syncWith(*sim, devicesAddress, "after-stop");
    EXPECT_EQ(sim->datagrams("recv").size(), 2u) << "the first search and the marker only";
}

} // namespace
} // namespace tavolix::e2e

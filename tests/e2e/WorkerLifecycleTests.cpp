// The network worker's start-up failure and its stop while it waits on the window.
#include "MacCodec.h"
#include "NamespaceTest.h"
#include "WorkerHarness.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tavolix::e2e {
namespace {

// A socket holding a UDP port in the calling thread's namespace.
class PortHolder final
{
public:
    explicit PortHolder(uint16_t port)
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(port);
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        m_bound = m_fd >= 0 &&
                  ::bind(m_fd, static_cast<const sockaddr*>(static_cast<const void*>(&local)),
                         sizeof local) == 0;
    }
    ~PortHolder()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;

    bool bound() const { return m_bound; }

private:
    int m_fd = -1;
    bool m_bound = false;
};

class WorkerLifecycleTest : public NamespaceTest
{};

TEST_F(WorkerLifecycleTest, PortTakenEndsStartUpWithBindError)
{
    makeHostAndDevices();
    ASSERT_FALSE(HasFatalFailure());
    DeviceSimProcess sim(topology.name("devices"), {"--count", "2"});
    ASSERT_TRUE(sim.waitReady());
    std::optional<PortHolder> holder;
    {
        const test::ScopedNetns inHost(topology.name("host"));
        ASSERT_TRUE(inHost.entered()) << inHost.error();
        holder.emplace(3566);
        ASSERT_TRUE(holder->bound());
    }

    WorkerHarness worker;
    ASSERT_TRUE(worker.start(topology.name("host"))) << worker.error();
    const auto result = worker.waitForEnd();
    ASSERT_TRUE(result.has_value()) << "the worker did not end by itself";
    EXPECT_EQ(*result, WorkerStartFailed);
    EXPECT_EQ(worker.control.stop.load(), 1);
    EXPECT_EQ(worker.ui.state().statusTexts,
              (std::vector<std::string>{"OK", "ERR: bind() error! Errorcode =98\n"}));

    syncWith(sim, devicesAddress, "after-failed-start");
    EXPECT_EQ(sim.datagrams("recv").size(), 1u) << "only the marker: the worker never sent";
    EXPECT_EQ(worker.ui.state().resetCount, 0);
}

TEST_F(WorkerLifecycleTest, StopEndsWorkerWhileMessageBoxIsOpen)
{
    makeHostAndDevices();
    ASSERT_FALSE(HasFatalFailure());
    DeviceSimProcess sim(topology.name("devices"), {"--count", "2"});
    ASSERT_TRUE(sim.waitReady());
    WorkerHarness worker;
    ASSERT_TRUE(worker.start(topology.name("host"))) << worker.error();
    ASSERT_TRUE(worker.ui.waitUntil([](const WorkerUiState& s) { return s.rows.size() == 2; }));

    // A device is selected but the login account is empty.
    const auto record = worker.control.table.recordAt(255);
    ASSERT_TRUE(record.has_value());
    worker.ui.setField(WorkerField::MacGroupCaption, macToText(record->mac));
    worker.ui.setField(WorkerField::LoginPassword, "secret");
    worker.control.setCommand(ConfigureCommand);
    ASSERT_TRUE(
        worker.ui.waitUntil([](const WorkerUiState& s) { return !s.messageBoxes.empty(); }));
    const ShownMessageBox shown = worker.ui.state().messageBoxes.front();
    EXPECT_EQ(shown.caption, "NVR");
    EXPECT_EQ(shown.text, "No Account !!");
    EXPECT_TRUE(shown.open);

    // The box is never dismissed: stop alone must end the worker.
    worker.control.requestStop();
    const auto result = worker.waitForEnd();
    ASSERT_TRUE(result.has_value()) << "the worker did not end while its box was open";
    EXPECT_EQ(*result, WorkerEnded);
    const WorkerUiState state = worker.ui.state();
    ASSERT_EQ(state.messageBoxes.size(), 1u);
    EXPECT_TRUE(state.messageBoxes[0].endedByStop);

    // No fallback search went out after the box.
    syncWith(sim, devicesAddress, "after-stop");
    const auto received = sim.datagrams("recv");
    ASSERT_EQ(received.size(), 2u) << "the first search and the marker only";
    EXPECT_EQ(received[0].bytes.size(), 256u);
    EXPECT_EQ(state.resetCount, 1) << "no display reset after the box";
}

} // namespace
} // namespace tavolix::e2e

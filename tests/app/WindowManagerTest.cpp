// The real program on an X display of the test's own, with and without a
// window manager (openbox), in a network namespace beside simulated devices:
// dragging the window by its title strip, minimising it through the glyph
// and bringing it back.
#include "ChildProcess.h"
#include "NamespaceTest.h"
#include "TemporaryDirectory.h"
#include "XcbTestClient.h"
#include "XvfbServer.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <thread>

namespace tavolix::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Only against a hang: far longer than any step takes.
constexpr auto hangGuard = 30s;

// Points of the window, from its top-left corner: a one-pixel border, then
// the 468 × 438 client area with the 30-pixel title strip at its top.
constexpr RootPoint onCaption{121, 11};  // left of the caption buttons
constexpr RootPoint onMinimise{401, 11}; // the minimise glyph, client x 388 to 415
constexpr RootPoint onUpdate{68, 197};   // the Update button
constexpr RootPoint onFirstRow{100, 53}; // the device list's first row
constexpr RootPoint onLoginAccount{70, 306};

struct Area
{
    int x, y, width, height;
};
constexpr Area deviceList{14, 46, 204, 132};
// The list, the fields and the status line: the client area from two rows
// below the title strip, clear of the caption buttons' hover look.
constexpr Area belowStrip{1, 33, 468, 406};

// Checks the condition until it holds; false only if it never did.
bool eventually(const std::function<bool()>& condition)
{
    const auto end = std::chrono::steady_clock::now() + hangGuard;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

class WindowManagerTest : public e2e::NamespaceTest
{
protected:
    void SetUp() override
    {
        NamespaceTest::SetUp();
        if (IsSkipped())
            return;
        makeHostAndDevices();
        ASSERT_FALSE(HasFatalFailure());
        m_server = std::make_unique<XvfbServer>(topology.name("host"));
        if (!m_server->isRunning())
            GTEST_SKIP() << "no X server for the test: " << m_server->problem();
        m_x = std::make_unique<XcbTestClient>(m_server->displayName());
        ASSERT_TRUE(m_x->isConnected());
        // Sees top-level windows being made, and the requests that clients
        // send to the window manager.
        m_x->selectRootEvents(XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
        ASSERT_TRUE(m_x->sync());
        ASSERT_FALSE(m_directory.path().empty());
        // The program writes the language choice into its database: a copy.
        ASSERT_TRUE(fs::exists(TAVOLIX_LANGUAGE_DB)) << "build language.db first";
        fs::copy_file(TAVOLIX_LANGUAGE_DB, m_directory.path() / "language.db");
    }

    XcbTestClient& x() { return *m_x; }

    std::vector<std::string> environment() const
    {
        const std::string dir = m_directory.path().string();
        return {"PATH=/usr/bin:/bin", "HOME=" + dir, "XDG_RUNTIME_DIR=" + dir, "LANG=C.UTF-8",
                "DISPLAY=" + display()};
    }
    const std::string& display() const { return m_server->displayName(); }

    void startWindowManager()
    {
        if (findProgram("openbox").empty())
            GTEST_SKIP() << "openbox is not installed";
        launch({"openbox", "--sm-disable"}, environment());
        // It announces itself before it handles every request to map a
        // window: it is ready once it has framed a window of the test's own.
        const xcb_window_t probe = x().createWindow();
        ASSERT_TRUE(eventually([&] {
            x().map(probe);
            return x().wmState(probe) == WmState::Normal;
        })) << "openbox never took over the display";
        m_managed = true;
    }

    // Starts the program; once its window is on screen, returns it and
    // notes where the window was made.
    xcb_window_t startProgram()
    {
        std::vector<std::string> env = environment();
        env.emplace_back("QT_QPA_PLATFORM=xcb");
        ChildProcess& program = launch({TAVOLIX_PROGRAM}, env);
        xcb_window_t shown = XCB_WINDOW_NONE;
        eventually([&] {
            if (const auto exitCode = program.poll()) {
                ADD_FAILURE() << "the program ended with " << *exitCode;
                return true;
            }
            for (const auto& event : x().takeEvents()) {
                if ((event->response_type & 0x7f) != XCB_CREATE_NOTIFY)
                    continue;
                const auto* made = reinterpret_cast<const xcb_create_notify_event_t*>(event.get());
                m_madeAt[made->window] = {made->x, made->y};
            }
            for (const auto& [window, where] : m_madeAt) {
                if (x().pidOf(window) == static_cast<uint32_t>(program.pid()) &&
                    x().isViewable(window)) {
                    shown = window;
                    return true;
                }
            }
            return false;
        });
        return shown;
    }

    std::optional<RootPoint> madeAt(xcb_window_t window) const
    {
        const auto found = m_madeAt.find(window);
        return found == m_madeAt.end() ? std::nullopt : std::optional(found->second);
    }

    // Moves the pointer, presses or releases the left button, or types.
    void pointer(const std::vector<std::string>& command)
    {
        std::vector<std::string> arguments{"env", "DISPLAY=" + display(), "xdotool"};
        arguments.insert(arguments.end(), command.begin(), command.end());
        const CommandResult result = runCommand(arguments);
        ASSERT_EQ(result.exitCode, 0) << result.output;
    }
    void moveTo(RootPoint to)
    {
        pointer({"mousemove", std::to_string(to.x), std::to_string(to.y)});
    }
    void click(xcb_window_t window, RootPoint at)
    {
        moveTo(*x().rootPosition(window) + at);
        pointer({"click", "1"});
    }

    // Presses on the title strip, drags by `travel` in five steps and lets go.
    void dragStrip(xcb_window_t window, RootPoint travel)
    {
        const RootPoint start = *x().rootPosition(window);
        const RootPoint from = start + onCaption;
        moveTo(from);
        pointer({"mousedown", "1"});
        ASSERT_TRUE(m_managed ? managerWasAskedToMove(window, from) : followsByHand(window, from))
            << "the move never began";
        for (int step = 1; step <= 5; ++step)
            moveTo(from + RootPoint{travel.x * step / 5, travel.y * step / 5});
        pointer({"mouseup", "1"});
        eventually([&] { return x().rootPosition(window) == start + travel; });
    }

    // The press asked the window manager for a move (which follows the
    // pointer from the point named in the request). That point must be
    // where the pointer is: the manager moves the window by how far the
    // pointer then is from it.
    bool managerWasAskedToMove(xcb_window_t window, RootPoint pointerAt)
    {
        const xcb_atom_t moveResize = x().atom("_NET_WM_MOVERESIZE");
        constexpr uint32_t moveAction = 8; // not a resize, not a cancel
        std::optional<RootPoint> named;
        const bool asked = eventually([&] {
            for (const auto& event : x().takeEvents()) {
                const auto* message =
                    reinterpret_cast<const xcb_client_message_event_t*>(event.get());
                if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE &&
                    message->window == window && message->type == moveResize &&
                    message->data.data32[2] == moveAction && !named)
                    named = RootPoint{static_cast<int>(message->data.data32[0]),
                                      static_cast<int>(message->data.data32[1])};
            }
            return named.has_value();
        });
        EXPECT_EQ(named, pointerAt) << "the move request names another point than the pointer's";
        return asked;
    }

    // Without a manager the window follows the pointer itself, once it has
    // handled the press: nudge the pointer until the window follows.
    bool followsByHand(xcb_window_t window, RootPoint pointerAt)
    {
        const RootPoint start = *x().rootPosition(window);
        return eventually([&] {
            moveTo(pointerAt + RootPoint{1, 0});
            if (x().rootPosition(window) == start + RootPoint{1, 0})
                return true;
            moveTo(pointerAt);
            return false;
        });
    }

    // Two drags in a row each move the window by exactly the pointer's travel.
    void expectDragsFollowThePointer(xcb_window_t window)
    {
        const RootPoint shownAt = *x().rootPosition(window);
        const RootPoint first{50, 40};
        const RootPoint second{-30, 25};
        dragStrip(window, first);
        EXPECT_EQ(x().rootPosition(window), shownAt + first) << "the first drag from " << shownAt;
        dragStrip(window, second);
        EXPECT_EQ(x().rootPosition(window), shownAt + first + second) << "the second drag";
    }

    std::vector<uint8_t> picture(xcb_window_t window, Area area)
    {
        return x().pixels(window, area.x, area.y, area.width, area.height);
    }

    // The picture once two looks a moment apart agree.
    std::vector<uint8_t> settledPicture(xcb_window_t window, Area area)
    {
        std::vector<uint8_t> last = picture(window, area);
        eventually([&] {
            std::this_thread::sleep_for(100ms);
            std::vector<uint8_t> now = picture(window, area);
            const bool same = now == last;
            last = std::move(now);
            return same;
        });
        return last;
    }

private:
    ChildProcess& launch(const std::vector<std::string>& arguments,
                         const std::vector<std::string>& env)
    {
        LaunchOptions options;
        options.arguments = arguments;
        options.environment = env;
        options.workingDirectory = m_directory.path().string();
        options.networkNamespace = topology.name("host");
        m_processes.push_back(std::make_unique<ChildProcess>(options));
        return *m_processes.back();
    }

    TemporaryDirectory m_directory;
    std::unique_ptr<XvfbServer> m_server;
    std::unique_ptr<XcbTestClient> m_x;
    std::map<xcb_window_t, RootPoint> m_madeAt;
    bool m_managed = false;
    // Declared last: the programs end before their display goes.
    std::vector<std::unique_ptr<ChildProcess>> m_processes;
};

TEST_F(WindowManagerTest, TheStripMovesTheWindowByThePointersTravelFromTheFirstDrag)
{
    startWindowManager();
    ASSERT_FALSE(IsSkipped() || HasFatalFailure());
    const xcb_window_t window = startProgram();
    ASSERT_NE(window, XCB_WINDOW_NONE) << "the program showed no window";
    const RootPoint shownAt = *x().rootPosition(window);
    // Moved between being made and being mapped, the window's place is
    // learnt from a notification that Qt may read while the manager is
    // still framing the window.
    EXPECT_EQ(madeAt(window), shownAt) << "not made where it is shown";

    expectDragsFollowThePointer(window);
}

TEST_F(WindowManagerTest, WithoutAManagerTheWindowFollowsThePointerItself)
{
    const xcb_window_t window = startProgram();
    ASSERT_NE(window, XCB_WINDOW_NONE) << "the program showed no window";
    expectDragsFollowThePointer(window);
}

TEST_F(WindowManagerTest, MinimisingIconifiesAndActivatingBringsTheWindowBackUnchanged)
{
    startWindowManager();
    ASSERT_FALSE(IsSkipped() || HasFatalFailure());
    // No devices answer the first search, so the list starts empty.
    const xcb_window_t window = startProgram();
    ASSERT_NE(window, XCB_WINDOW_NONE) << "the program showed no window";
    const std::vector<uint8_t> emptyList = settledPicture(window, deviceList);

    // CAM-001 to CAM-005, kind 1: the login fields open once one is selected.
    sim.emplace(topology.name("devices"),
                std::vector<std::string>{"--count", "5", "--kind", "1", "--name", "CAM"});
    ASSERT_TRUE(sim->waitReady());
    click(window, onUpdate);
    ASSERT_TRUE(eventually([&] { return picture(window, deviceList) != emptyList; }))
        << "nothing listed";
    // Select a device, type a login, and leave the focus in the list, where
    // no cursor blinks.
    click(window, onFirstRow);
    click(window, onLoginAccount);
    pointer({"type", "typed"});
    click(window, onFirstRow);
    const std::vector<uint8_t> shown = settledPicture(window, belowStrip);

    click(window, onMinimise);
    EXPECT_TRUE(eventually([&] { return x().wmState(window) == WmState::Iconic; }))
        << "WM_STATE " << static_cast<int>(x().wmState(window).value_or(WmState::Withdrawn));
    EXPECT_FALSE(x().isViewable(window));

    x().requestActivation(window);
    EXPECT_TRUE(eventually([&] { return x().wmState(window) == WmState::Normal; }));
    EXPECT_TRUE(eventually([&] { return x().isViewable(window); }));
    EXPECT_TRUE(eventually([&] { return picture(window, belowStrip) == shown; }))
        << "the list or the fields changed";
}

} // namespace
} // namespace tavolix::test

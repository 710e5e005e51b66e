// The real program on its own X display in a network namespace: started twice, moved, minimised.
#include "ChildProcess.h"
#include "NamespaceTest.h"
#include "TemporaryDirectory.h"
#include "UniqueFd.h"
#include "XcbTestClient.h"
#include "XvfbServer.h"

#include <QLibraryInfo>
#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sys/file.h>
#include <thread>
#include <utility>

namespace tavolix::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Only against a hang: far longer than any step takes.
constexpr auto hangGuard = 60s;

bool eventually(const std::function<bool()>& condition)
{
    const auto end = std::chrono::steady_clock::now() + hangGuard;
    for (; !condition(); std::this_thread::sleep_for(20ms))
        if (std::chrono::steady_clock::now() > end)
            return false;
    return true;
}

class ProgramTest : public e2e::NamespaceTest
{
protected:
    void SetUp() override
    {
        NamespaceTest::SetUp();
        if (IsSkipped())
            return;
        ASSERT_NO_FATAL_FAILURE(makeHostAndDevices());
        m_server = std::make_unique<XvfbServer>(topology.name("host"));
        if (!m_server->isRunning())
            GTEST_SKIP() << "no X server for the test: " << m_server->problem();
        m_x = std::make_unique<XcbTestClient>(m_server->displayName());
        ASSERT_TRUE(m_x->isConnected());
        m_x->selectRootEvents(XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
        ASSERT_FALSE(folder().empty());
        // The program writes the language choice into its database: a copy.
        ASSERT_TRUE(fs::exists(TAVOLIX_LANGUAGE_DB)) << "build language.db first";
        fs::copy_file(TAVOLIX_LANGUAGE_DB, folder() / "language.db");
    }

    XcbTestClient& x() { return *m_x; }
    const fs::path& folder() const { return m_directory.path(); }

    // Starts the program, or `arguments`, on the X display or the desktop `env` names.
    ChildProcess& launch(std::vector<std::string> env = {},
                         std::vector<std::string> arguments = {TAVOLIX_PROGRAM})
    {
        const std::string dir = folder().string();
        if (env.empty())
            env = {onX11(), "QT_QPA_PLATFORM=xcb"};
        env.insert(env.end(),
                   {"PATH=/usr/bin:/bin", "HOME=" + dir, "XDG_RUNTIME_DIR=" + dir, "LANG=C.UTF-8"});
        LaunchOptions options;
        options.arguments = arguments;
        options.environment = env;
        options.workingDirectory = dir;
        options.networkNamespace = topology.name("host");
        m_processes.push_back(std::make_unique<ChildProcess>(options));
        return *m_processes.back();
    }
    std::string onX11() const { return "DISPLAY=" + m_server->displayName(); }

    void noteEvents()
    {
        for (const auto& event : x().takeEvents()) {
            const auto* made = reinterpret_cast<const xcb_create_notify_event_t*>(event.get());
            const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(made);
            if ((event->response_type & 0x7f) == XCB_CREATE_NOTIFY)
                madeAt[made->window] = {made->x, made->y};
            else if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE)
                requests.push_back({message->type, message->window, message->data.data32[0],
                                    message->data.data32[1], message->data.data32[2]});
        }
    }
    std::optional<xcb_window_t> shownWindowOf(const ChildProcess& process)
    {
        noteEvents();
        for (const auto& [window, where] : madeAt)
            if (x().pidOf(window) == static_cast<uint32_t>(process.pid()) && x().isViewable(window))
                return window;
        return std::nullopt;
    }
    std::optional<xcb_window_t> awaitWindow(ChildProcess& process)
    {
        std::optional<xcb_window_t> window;
        eventually([&] { return (window = shownWindowOf(process)) || process.poll(); });
        return window;
    }

    void expectSecondStartHandsOver(ChildProcess& first, const std::vector<std::string>& env = {})
    {
        ChildProcess& second = launch(env);
        EXPECT_EQ(awaitWindow(second), std::nullopt) << "the second start opened a window";
        EXPECT_EQ(second.poll(), 0);
        EXPECT_EQ(first.poll(), std::nullopt) << "the first instance ended";
    }

    void xdotool(const std::vector<std::string>& command)
    {
        std::vector<std::string> arguments{"env", onX11(), "xdotool"};
        arguments.insert(arguments.end(), command.begin(), command.end());
        const CommandResult result = runCommand(arguments);
        ASSERT_EQ(result.exitCode, 0) << result.output;
    }
    void moveTo(RootPoint to)
    {
        xdotool({"mousemove", std::to_string(to.x), std::to_string(to.y)});
    }
    void click(xcb_window_t window, RootPoint at)
    {
        moveTo(*x().rootPosition(window) + at);
        xdotool({"click", "1"});
    }

    // Each of two drags on the title strip moves the window by the pointer's travel. Without a
    // manager the window moves itself, which the ui tests see offscreen.
    void expectDragsFollowThePointer(xcb_window_t window)
    {
        for (const RootPoint travel : {RootPoint{50, 40}, RootPoint{-30, 25}}) {
            const RootPoint start = *x().rootPosition(window);
            const RootPoint from = start + RootPoint{121, 11}; // left of the caption buttons
            moveTo(from);
            xdotool({"mousedown", "1"});
            // The manager moves the window (8: a move) by how far the pointer gets
            // from the point the request names: that must be where the pointer is.
            const Request move{x().atom("_NET_WM_MOVERESIZE"), window,
                               static_cast<uint32_t>(from.x), static_cast<uint32_t>(from.y), 8};
            ASSERT_TRUE(eventually([&] {
                noteEvents();
                return std::ranges::find(requests, move) != requests.end();
            })) << "no move from the pointer's place: "
                << testing::PrintToString(requests);
            for (int step = 1; step <= 5; ++step)
                moveTo(from + RootPoint{travel.x * step / 5, travel.y * step / 5});
            xdotool({"mouseup", "1"});
            EXPECT_TRUE(eventually([&] { return x().rootPosition(window) == start + travel; }))
                << "a drag from " << start << " ended at " << *x().rootPosition(window);
        }
    }

    std::vector<uint8_t> settledPicture(xcb_window_t window, xcb_rectangle_t area)
    {
        std::vector<uint8_t> last = x().pixels(window, area);
        eventually([&] {
            std::this_thread::sleep_for(100ms);
            const std::vector<uint8_t> before = std::exchange(last, x().pixels(window, area));
            return before == last;
        });
        return last;
    }

    // Top-level windows as made, and requests to the window manager: type, window, three words.
    std::map<xcb_window_t, RootPoint> madeAt;
    using Request = std::array<uint32_t, 5>;
    std::vector<Request> requests;

private:
    TemporaryDirectory m_directory;
    std::unique_ptr<XvfbServer> m_server;
    std::unique_ptr<XcbTestClient> m_x;
    // Declared last: the programs end before their display goes.
    std::vector<std::unique_ptr<ChildProcess>> m_processes;
};

// The window title, the instance key, stays the same in every language.
TEST_F(ProgramTest, ASecondStartBringsTheFirstWindowForwardInEveryLanguage)
{
    for (int language = 0; language < 6; ++language) { // English, ChinaGB, … Japan
        SCOPED_TRACE("language " + std::to_string(language));
        const std::string sql = "update current set language = " + std::to_string(language);
        ASSERT_EQ(runCommand({"sqlite3", folder() / "language.db", sql}).exitCode, 0);
        ChildProcess& first = launch();
        const auto window = awaitWindow(first);
        ASSERT_TRUE(window) << "the first instance ended with " << first.poll().value_or(-1);
        EXPECT_EQ(x().property(*window, x().atom("_NET_WM_NAME"), x().atom("UTF8_STRING")),
                  "Tavolix");
        // Minimised the way a window manager does it, and covered.
        x().unmap(*window);
        x().setWmState(*window, WmState::Iconic);
        x().map(x().createWindow());
        ASSERT_TRUE(x().sync()); // before the second start looks, not while it looks

        expectSecondStartHandsOver(first);
        EXPECT_EQ(shownWindowOf(first), window) << "not mapped";
        EXPECT_EQ(x().children(x().root()).back(), *window) << "not raised";
        // On the user's behalf (2), at no particular time, from no window.
        const Request activation{x().atom("_NET_ACTIVE_WINDOW"), *window, 2, 0, 0};
        EXPECT_EQ(std::exchange(requests, {}), std::vector{activation});

        // Closing the window ends the program, and its worker, with 0.
        x().requestClose(*window);
        ASSERT_TRUE(x().sync());
        ASSERT_EQ(first.waitAtMost(hangGuard), 0);
    }
}

// On Wayland the program runs on X11 (where the title search holds) unless a platform is named;
// without X, a lock in the runtime folder lets one instance run.
TEST_F(ProgramTest, OnWaylandTwoStartsLeaveOneProgramRunning)
{
    if (findProgram("weston").empty())
        GTEST_SKIP() << "weston is not installed";
    const fs::path plugins = QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString();
    if (!fs::exists(plugins / "platforms" / "libqwayland-generic.so"))
        GTEST_SKIP() << "Qt's Wayland plugin is not installed";
    // Wayland clients refuse a runtime folder that others may read.
    fs::permissions(folder(), fs::perms::owner_all);
    launch({}, {"weston", "--backend=headless-backend.so", "--idle-time=0",
                "--socket=tavolix-wayland"});
    ASSERT_TRUE(eventually([&] { return fs::exists(folder() / "tavolix-wayland"); }))
        << "weston never listened";
    // Closing the file lets go of the lock if this took it.
    const auto lockIsHeld = [&] {
        const UniqueFd fd(::open((folder() / "tavolix.lock").c_str(), O_RDWR | O_CLOEXEC));
        return fd && ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    };
    const std::string wayland = "WAYLAND_DISPLAY=tavolix-wayland";
    const std::string session = "XDG_SESSION_TYPE=wayland";
    const std::pair<std::vector<std::string>, bool> rows[] = {
        // the desktop; whether the program runs on X11
        {{wayland, session}, false},
        {{wayland, session, onX11()}, true},
        {{wayland, session, onX11(), "QT_QPA_PLATFORM=wayland"}, false},
    };
    for (const auto& [desktop, x11] : rows) {
        SCOPED_TRACE(testing::PrintToString(desktop));
        ChildProcess& first = launch(desktop);
        if (x11)
            ASSERT_TRUE(awaitWindow(first)) << "ended with " << first.poll().value_or(-1);
        else // should it end instead, the second start's check says so
            ASSERT_TRUE(eventually([&] { return lockIsHeld() || first.poll(); }))
                << "the first start never took the lock";
        // The second start ends once the first has answered: on X11 its window is shown by then.
        expectSecondStartHandsOver(first, desktop);
        EXPECT_EQ(shownWindowOf(first).has_value(), x11);
        first.terminate();
    }
}

TEST_F(ProgramTest, UnderAManagerTheWindowMovesMinimisesAndComesBackUnchanged)
{
    // From the window's top-left corner: a one-pixel border, then the client's 30-pixel strip.
    constexpr RootPoint onMinimise{401, 11}, onUpdate{68, 197}, onFirstRow{100, 53},
        onLoginAccount{70, 306};
    constexpr xcb_rectangle_t deviceList{14, 46, 204, 132};
    // The client area below the title strip, clear of the caption buttons' hover look.
    constexpr xcb_rectangle_t belowStrip{1, 33, 468, 406};
    if (findProgram("openbox").empty())
        GTEST_SKIP() << "openbox is not installed";
    launch({}, {"openbox", "--sm-disable"});
    // openbox announces itself early: it is ready once it has framed a window of the test's.
    const xcb_window_t probe = x().createWindow();
    ASSERT_TRUE(eventually([&] {
        x().map(probe);
        return x().wmState(probe) == WmState::Normal;
    })) << "openbox never took over the display";
    // No devices answer the first search, so the list starts empty.
    const auto shown = awaitWindow(launch());
    ASSERT_TRUE(shown) << "the program showed no window";
    const xcb_window_t window = *shown;
    // Moved between being made and mapped, the window learns its place from a notification
    // that Qt may read while the manager is still framing it.
    EXPECT_EQ(madeAt.at(window), x().rootPosition(window)) << "not made where it is shown";
    expectDragsFollowThePointer(window);
    const std::vector<uint8_t> emptyList = settledPicture(window, deviceList);

    // Kind 1: the login fields open once one is selected.
    sim.emplace(topology.name("devices"),
                std::vector<std::string>{"--count", "5", "--kind", "1", "--name", "CAM"});
    ASSERT_TRUE(sim->waitReady());
    click(window, onUpdate);
    ASSERT_TRUE(eventually([&] { return x().pixels(window, deviceList) != emptyList; }))
        << "nothing listed";
    // Type a login and leave the focus in the list, where no cursor blinks.
    click(window, onFirstRow);
    click(window, onLoginAccount);
    xdotool({"type", "typed"});
    click(window, onFirstRow);
    const std::vector<uint8_t> before = settledPicture(window, belowStrip);

    click(window, onMinimise);
    EXPECT_TRUE(eventually([&] { return x().wmState(window) == WmState::Iconic; }))
        << "WM_STATE " << static_cast<int>(x().wmState(window).value_or(WmState::Withdrawn));

    xdotool({"windowactivate", std::to_string(window)}); // as a task bar does
    EXPECT_TRUE(eventually([&] { return x().wmState(window) == WmState::Normal; }));
    // No pixels come from a window that is not viewable.
    EXPECT_TRUE(eventually([&] { return x().pixels(window, belowStrip) == before; }))
        << "the list or the fields changed";
}

} // namespace
} // namespace tavolix::test

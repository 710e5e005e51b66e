// Starts the real program twice on one X display, or on a headless Wayland
// compositor with or without an X server beside it, inside a network
// namespace of the test's own (the program broadcasts when it starts).
#include "ChildProcess.h"
#include "NetnsTopology.h"
#include "TemporaryDirectory.h"
#include "XcbTestClient.h"
#include "XvfbServer.h"

#include <QLibraryInfo>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <poll.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

namespace tavolix::test {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view title = "Tavolix";
// Only against a hang: far longer than a start or a shutdown takes.
constexpr std::chrono::seconds hangGuard{60};

// Checks the condition until it holds; false only if it never did.
bool waitFor(const std::function<bool()>& condition)
{
    const auto guard = std::chrono::steady_clock::now() + hangGuard;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > guard)
            return false;
        ::usleep(20'000);
    }
    return true;
}

struct SqliteClose final
{
    void operator()(sqlite3* db) const noexcept { sqlite3_close(db); }
};

bool storeLanguage(const fs::path& database, int language)
{
    sqlite3* raw = nullptr;
    const int opened = sqlite3_open_v2(database.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    const std::unique_ptr<sqlite3, SqliteClose> db(raw);
    if (opened != SQLITE_OK)
        return false;
    const std::string sql = "update current set language = " + std::to_string(language);
    return sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

class SingleInstanceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const auto reason = NetnsTopology::unavailableReason())
            GTEST_SKIP() << "cannot isolate the program's broadcasts: " << *reason;
        ASSERT_TRUE(m_topology.addNamespace("app")) << m_topology.error();
        m_server = std::make_unique<XvfbServer>(m_topology.name("app"));
        if (!m_server->isRunning())
            GTEST_SKIP() << "no X server for the test: " << m_server->problem();
        m_watcher = std::make_unique<XcbTestClient>(m_server->displayName());
        ASSERT_TRUE(m_watcher->isConnected());
        // Sees every top-level window that is created or mapped.
        m_watcher->selectRootEvents(XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
        ASSERT_TRUE(m_watcher->sync());

        ASSERT_FALSE(m_directory.path().empty());
        // The program writes the language choice into its database: use a copy.
        ASSERT_TRUE(fs::exists(TAVOLIX_LANGUAGE_DB)) << "build language.db first";
        fs::copy_file(TAVOLIX_LANGUAGE_DB, m_directory.path() / "language.db");
    }

    XcbTestClient& watcher() { return *m_watcher; }

    // The desktop a start finds.
    struct Session
    {
        bool xServer = true;
        bool wayland = false;
        std::string platform = "xcb"; // QT_QPA_PLATFORM; empty: not set
    };

    ChildProcess& startProgram() { return startProgram(Session{}); }
    ChildProcess& startProgram(const Session& session)
    {
        const std::string dir = m_directory.path().string();
        std::vector<std::string> env{"PATH=/usr/bin:/bin", "HOME=" + dir, "XDG_RUNTIME_DIR=" + dir,
                                     "LANG=C.UTF-8"};
        if (session.xServer)
            env.push_back("DISPLAY=" + m_server->displayName());
        if (session.wayland) {
            env.push_back("WAYLAND_DISPLAY=" + std::string(compositorSocket));
            env.emplace_back("XDG_SESSION_TYPE=wayland");
        }
        if (!session.platform.empty())
            env.push_back("QT_QPA_PLATFORM=" + session.platform);
        return launch({TAVOLIX_PROGRAM}, env);
    }

    // Whether a program holds the per-user lock in the runtime folder.
    bool lockIsHeld() const
    {
        const std::string path = (m_directory.path() / "tavolix.lock").string();
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        ::close(fd); // also lets go of the lock if this took it
        return held;
    }

    // weston's headless compositor on the runtime folder the programs share.
    void startCompositor()
    {
        if (findProgram("weston").empty())
            GTEST_SKIP() << "weston is not installed";
        const fs::path plugins = QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString();
        if (!fs::exists(plugins / "platforms" / "libqwayland-generic.so"))
            GTEST_SKIP() << "Qt's Wayland plugin is not installed";
        // Wayland clients refuse a runtime folder that others may read.
        fs::permissions(m_directory.path(), fs::perms::owner_all);
        launch({"weston", "--backend=headless-backend.so", "--idle-time=0",
                "--socket=" + std::string(compositorSocket)},
               {"PATH=/usr/bin:/bin", "XDG_RUNTIME_DIR=" + m_directory.path().string()});
        ASSERT_TRUE(waitFor([&] { return fs::exists(m_directory.path() / compositorSocket); }))
            << "weston never listened";
    }

    struct Outcome
    {
        std::optional<xcb_window_t> window; // the first top-level window it mapped
        std::optional<int> exitCode;        // or how it ended before it mapped one
    };

    // Waits until the process maps a top-level window or ends; neither when
    // it does nothing of the two for far too long.
    Outcome awaitWindowOrExit(ChildProcess& process)
    {
        xcb_connection_t* c = watcher().get();
        const auto guard = std::chrono::steady_clock::now() + hangGuard;
        while (process.started() && std::chrono::steady_clock::now() < guard) {
            while (xcb_generic_event_t* raw = xcb_poll_for_event(c)) {
                const XcbReply<xcb_generic_event_t> event(raw);
                if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY)
                    continue;
                const auto* mapped = reinterpret_cast<const xcb_map_notify_event_t*>(raw);
                if (watcher().pidOf(mapped->window) == static_cast<uint32_t>(process.pid()))
                    return {mapped->window, std::nullopt};
            }
            if (const auto exitCode = process.poll())
                return {std::nullopt, exitCode};
            if (xcb_connection_has_error(c) != 0)
                return {};
            // Wakes now and then only to notice a process that has ended.
            pollfd events{xcb_get_file_descriptor(c), POLLIN, 0};
            ::poll(&events, 1, 500);
        }
        return {};
    }

    std::optional<xcb_window_t> windowOf(ChildProcess& process)
    {
        return awaitWindowOrExit(process).window;
    }

    TemporaryDirectory m_directory;

private:
    static constexpr const char* compositorSocket = "tavolix-wayland";

    ChildProcess& launch(const std::vector<std::string>& arguments,
                         const std::vector<std::string>& env)
    {
        LaunchOptions options;
        options.arguments = arguments;
        options.environment = env;
        options.workingDirectory = m_directory.path().string();
        options.networkNamespace = m_topology.name("app");
        m_processes.push_back(std::make_unique<ChildProcess>(options));
        return *m_processes.back();
    }

    NetnsTopology m_topology;
    std::unique_ptr<XvfbServer> m_server;
    std::unique_ptr<XcbTestClient> m_watcher;
    // Declared last: the programs end before their display and namespace go.
    std::vector<std::unique_ptr<ChildProcess>> m_processes;
};

TEST_F(SingleInstanceTest, ASecondStartBringsTheFirstWindowForwardAndExits)
{
    ChildProcess& first = startProgram();
    const auto window = windowOf(first);
    ASSERT_TRUE(window) << "the first instance ended with " << first.poll().value_or(-1);
    ASSERT_EQ(watcher().netWmName(*window), title) << "the English window title";

    // Another window covers it.
    watcher().map(watcher().createWindow());
    ASSERT_TRUE(watcher().sync());

    ChildProcess& second = startProgram();
    const Outcome outcome = awaitWindowOrExit(second);
    EXPECT_EQ(outcome.window, std::nullopt) << "the second start opened a window";
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(first.poll(), std::nullopt) << "the first instance ended";
    EXPECT_TRUE(watcher().isViewable(*window));
    EXPECT_EQ(watcher().children(watcher().root()).back(), *window) << "not raised";

    // Closing the window ends the program, and its worker, with 0.
    watcher().requestClose(*window);
    ASSERT_TRUE(watcher().sync());
    EXPECT_EQ(first.waitAtMost(hangGuard), 0);
}

TEST_F(SingleInstanceTest, ASecondStartFindsTheFirstWindowInEveryLanguage)
{
    const char* const languages[] = {"English", "ChinaGB", "ChinaBG", "French", "German", "Japan"};
    for (int language = 0; language < 6; ++language) {
        SCOPED_TRACE(languages[language]);
        ASSERT_TRUE(storeLanguage(m_directory.path() / "language.db", language));
        ChildProcess& first = startProgram();
        const auto window = windowOf(first);
        ASSERT_TRUE(window) << "the first instance ended with " << first.poll().value_or(-1);
        EXPECT_EQ(watcher().netWmName(*window), title);

        ChildProcess& second = startProgram();
        const Outcome outcome = awaitWindowOrExit(second);
        EXPECT_EQ(outcome.window, std::nullopt) << "the second start opened a window";
        EXPECT_EQ(outcome.exitCode, 0);
        EXPECT_EQ(first.poll(), std::nullopt) << "the first instance ended";

        watcher().requestClose(*window);
        ASSERT_TRUE(watcher().sync());
        ASSERT_EQ(first.waitAtMost(hangGuard), 0);
    }
}

// On Wayland the program runs on X11 whenever an X server is reachable (there
// the title search holds), unless the user names another platform; without
// X a lock in the runtime folder lets one instance run. Either way a second
// start brings the first forward and ends with 0.
TEST_F(SingleInstanceTest, OnWaylandTwoStartsLeaveOneProgramRunning)
{
    startCompositor();
    ASSERT_FALSE(IsSkipped() || HasFatalFailure());
    struct Row
    {
        const char* desktop;
        Session session;
        bool onX11;
    };
    const Row rows[] = {
        {"Wayland alone", {.xServer = false, .wayland = true, .platform = ""}, false},
        {"Wayland with an X server", {.xServer = true, .wayland = true, .platform = ""}, true},
        {"Wayland named by the user, an X server beside",
         {.xServer = true, .wayland = true, .platform = "wayland"},
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.desktop);
        ChildProcess& first = startProgram(row.session);
        if (row.onX11) {
            ASSERT_TRUE(windowOf(first)) << "ended with " << first.poll().value_or(-1);
        } else {
            ASSERT_TRUE(waitFor([&] { return lockIsHeld() || first.poll(); }))
                << "the first start never took the lock";
            ASSERT_EQ(first.poll(), std::nullopt) << "the first start ended";
        }

        // The second start ends once the first has answered, so the first has
        // served its window by then: on X11 its window is on the display.
        ChildProcess& second = startProgram(row.session);
        const Outcome outcome = awaitWindowOrExit(second);
        EXPECT_EQ(outcome.window, std::nullopt) << "the second start opened a window";
        EXPECT_EQ(outcome.exitCode, 0);
        EXPECT_EQ(first.poll(), std::nullopt) << "the first instance ended";
        bool firstOnX11 = false;
        for (const xcb_window_t window : watcher().children(watcher().root()))
            firstOnX11 |= watcher().pidOf(window) == static_cast<uint32_t>(first.pid()) &&
                          watcher().isViewable(window);
        EXPECT_EQ(firstOnX11, row.onX11);
        first.terminate();
    }
}

} // namespace
} // namespace tavolix::test

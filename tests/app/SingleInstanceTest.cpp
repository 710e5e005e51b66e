// Starts the real program twice on one X display inside a network namespace
// of the test's own (the program broadcasts when it starts).
#include "ChildProcess.h"
#include "NetnsTopology.h"
#include "TemporaryDirectory.h"
#include "XcbTestClient.h"
#include "XvfbServer.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <poll.h>
#include <sqlite3.h>
#include <unistd.h>

namespace tavolix::test {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view title = "Tavolix";
// Only against a hang: far longer than a start or a shutdown takes.
constexpr std::chrono::seconds hangGuard{60};

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

    ChildProcess& startProgram()
    {
        const std::string dir = m_directory.path().string();
        LaunchOptions options;
        options.arguments = {TAVOLIX_PROGRAM};
        options.environment = std::vector<std::string>{"PATH=/usr/bin:/bin",
                                                       "HOME=" + dir,
                                                       "XDG_RUNTIME_DIR=" + dir,
                                                       "LANG=C.UTF-8",
                                                       "DISPLAY=" + m_server->displayName(),
                                                       "QT_QPA_PLATFORM=xcb"};
        options.workingDirectory = dir;
        options.networkNamespace = m_topology.name("app");
        m_processes.push_back(std::make_unique<ChildProcess>(options));
        return *m_processes.back();
    }

    struct Outcome
    {
        std::optional<xcb_window_t> window; // the first top-level window it mapped
        std::optional<int> exitCode;        // or how it ended before it mapped one
    };

    // Waits until the process maps a top-level window or ends.
    Outcome awaitWindowOrExit(ChildProcess& process)
    {
        xcb_connection_t* c = watcher().get();
        while (process.started()) {
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

} // namespace
} // namespace tavolix::test

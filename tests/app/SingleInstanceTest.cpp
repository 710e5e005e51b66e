// Starts the real program twice on one X display inside a network namespace
// of the test's own (the program broadcasts when it starts).
#include "ChildProcess.h"
#include "NetnsTopology.h"
#include "TemporaryDirectory.h"
#include "XcbTestClient.h"
#include "XvfbServer.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <poll.h>
#include <sqlite3.h>
#include <sstream>
#include <unistd.h>

namespace tavolix::test {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view title = "Tavolix";
constexpr int frenchLanguage = 3;
// Only against a hang: far longer than a start or a shutdown takes.
constexpr std::chrono::seconds hangGuard{60};

std::string fileText(const fs::path& path)
{
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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

    void TearDown() override
    {
        for (const std::string& log : m_logs)
            if (HasFailure())
                std::cerr << "--- " << log << ":\n" << fileText(m_directory.path() / log) << '\n';
    }

    XcbTestClient& watcher() { return *m_watcher; }

    ChildProcess& startProgram(const std::string& logName)
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
        options.outputFile = (m_directory.path() / logName).string();
        m_logs.push_back(logName);
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
        for (;;) {
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
    }

    std::optional<xcb_window_t> windowOf(ChildProcess& process)
    {
        return awaitWindowOrExit(process).window;
    }

    static int count(const std::vector<XcbReply<xcb_generic_event_t>>& events, uint8_t type)
    {
        int n = 0;
        for (const auto& event : events)
            n += (event->response_type & 0x7f) == type ? 1 : 0;
        return n;
    }

    TemporaryDirectory m_directory;

private:
    NetnsTopology m_topology;
    std::unique_ptr<XvfbServer> m_server;
    std::unique_ptr<XcbTestClient> m_watcher;
    std::vector<std::string> m_logs;
    // Declared last: the programs end before their display and namespace go.
    std::vector<std::unique_ptr<ChildProcess>> m_processes;
};

TEST_F(SingleInstanceTest, ASecondStartBringsTheFirstWindowForwardAndExits)
{
    ChildProcess& first = startProgram("first.log");
    ASSERT_TRUE(first.started());
    const auto window = windowOf(first);
    ASSERT_TRUE(window) << "the first instance ended with " << first.poll().value_or(-1);
    ASSERT_EQ(watcher().netWmName(*window), title) << "the English window title";

    // Another window covers it.
    const xcb_window_t cover = watcher().createWindow();
    watcher().map(cover);
    ASSERT_TRUE(watcher().sync());
    ASSERT_EQ(watcher().children(watcher().root()).back(), cover);
    watcher().takeEvents();

    ChildProcess& second = startProgram("second.log");
    ASSERT_TRUE(second.started());
    const Outcome outcome = awaitWindowOrExit(second);
    EXPECT_EQ(outcome.window, std::nullopt) << "the second start opened a window";
    EXPECT_EQ(outcome.exitCode, 0);

    const auto events = watcher().takeEvents();
    EXPECT_EQ(count(events, XCB_CREATE_NOTIFY), 0) << "the second start created a window";
    EXPECT_EQ(count(events, XCB_MAP_NOTIFY), 0) << "the second start mapped a window";
    EXPECT_EQ(first.poll(), std::nullopt) << "the first instance ended";
    EXPECT_TRUE(watcher().isViewable(*window));
    EXPECT_EQ(watcher().children(watcher().root()).back(), *window) << "not raised";
}

TEST_F(SingleInstanceTest, AWindowWithAnotherTitleDoesNotStopASecondInstance)
{
    ASSERT_TRUE(storeLanguage(m_directory.path() / "language.db", frenchLanguage));
    ChildProcess& first = startProgram("first.log");
    ASSERT_TRUE(first.started());
    const auto firstWindow = windowOf(first);
    ASSERT_TRUE(firstWindow) << "the first instance ended with " << first.poll().value_or(-1);
    const std::string firstTitle = watcher().netWmName(*firstWindow);
    ASSERT_NE(firstTitle, title);
    ASSERT_FALSE(firstTitle.empty()) << "the French title was not applied";

    ChildProcess& second = startProgram("second.log");
    ASSERT_TRUE(second.started());
    const auto secondWindow = windowOf(second);
    ASSERT_TRUE(secondWindow) << "the second instance ended with " << second.poll().value_or(-1);
    EXPECT_NE(*secondWindow, *firstWindow);
    EXPECT_EQ(second.poll(), std::nullopt);
    EXPECT_EQ(first.poll(), std::nullopt);
    second.terminate();
}

TEST_F(SingleInstanceTest, AWindowRenamedAwayFromTheTitleIsNotFound)
{
    ChildProcess& first = startProgram("first.log");
    ASSERT_TRUE(first.started());
    const auto firstWindow = windowOf(first);
    ASSERT_TRUE(firstWindow) << "the first instance ended with " << first.poll().value_or(-1);
    ASSERT_EQ(watcher().netWmName(*firstWindow), title);
    // As after a change of language: only the exact title counts.
    watcher().setNetWmName(*firstWindow, "tavolix");
    ASSERT_TRUE(watcher().sync());

    ChildProcess& second = startProgram("second.log");
    ASSERT_TRUE(second.started());
    const auto secondWindow = windowOf(second);
    ASSERT_TRUE(secondWindow) << "the second instance ended with " << second.poll().value_or(-1);
    EXPECT_EQ(watcher().netWmName(*secondWindow), title);
    EXPECT_EQ(first.poll(), std::nullopt);
    second.terminate();
}

TEST_F(SingleInstanceTest, ClosingTheWindowEndsTheProgramWithZero)
{
    ChildProcess& program = startProgram("program.log");
    ASSERT_TRUE(program.started());
    const auto window = windowOf(program);
    ASSERT_TRUE(window) << "the program ended with " << program.poll().value_or(-1);

    watcher().requestClose(*window);
    ASSERT_TRUE(watcher().sync());
    const auto exitCode = program.waitAtMost(hangGuard);
    ASSERT_TRUE(exitCode) << "still running after a close request";
    EXPECT_EQ(*exitCode, 0);
}

} // namespace
} // namespace tavolix::test

#include "X11WindowFinder.h"

#include "XcbTestClient.h"
#include "XvfbServer.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <unistd.h>

namespace tavolix::test {
namespace {

constexpr std::string_view title = "Tavolix";

class X11WindowFinderTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { m_server = std::make_unique<XvfbServer>(); }
    static void TearDownTestSuite() { m_server.reset(); }

    void SetUp() override
    {
        if (!m_server->isRunning())
            GTEST_SKIP() << "no X server for the test: " << m_server->problem();
        m_client = std::make_unique<XcbTestClient>(m_server->displayName());
        ASSERT_TRUE(m_client->isConnected());
    }
    void TearDown() override { m_client.reset(); }

    const char* display() const { return m_server->displayName().c_str(); }
    XcbTestClient& client() { return *m_client; }

    xcb_window_t titledWindow(std::string_view text, bool mapped = true,
                              xcb_window_t parent = XCB_WINDOW_NONE)
    {
        const xcb_window_t window = client().createWindow(parent);
        client().setNetWmName(window, text);
        client().setWmName(window, text);
        if (mapped)
            client().map(window);
        return window;
    }

    // What a fresh finder (another program) sees once the server has
    // handled everything this test sent.
    std::optional<xcb_window_t> found(std::string_view wanted = title)
    {
        EXPECT_TRUE(client().sync());
        const X11WindowFinder finder(display());
        EXPECT_TRUE(finder.isConnected());
        const auto result = finder.find(wanted);
        return result ? std::optional(result->window) : std::nullopt;
    }

private:
    static inline std::unique_ptr<XvfbServer> m_server;
    std::unique_ptr<XcbTestClient> m_client;
};

TEST_F(X11WindowFinderTest, OnlyTheExactTitleOfAShownWindowMatches)
{
    EXPECT_EQ(found(), std::nullopt) << "an empty display";
    // Near misses: case, length, prefix (also beyond the bytes the finder
    // reads for a seven-byte title), and an unmapped exact match.
    for (const char* other : {"tavolix", "TAVOLIX", "Tavolix ", " Tavolix", "Tavoli", "",
                              "Tavolix and then a good deal more text"})
        titledWindow(other);
    titledWindow(title, false);
    // _NET_WM_NAME takes precedence over WM_NAME.
    const xcb_window_t other = client().createWindow();
    client().setNetWmName(other, "Other");
    client().setWmName(other, title);
    client().map(other);
    EXPECT_EQ(found(), std::nullopt);

    // WM_NAME counts where _NET_WM_NAME is absent.
    const xcb_window_t exact = client().createWindow();
    client().setWmName(exact, title);
    client().map(exact);
    EXPECT_EQ(found(), exact);

    const xcb_window_t utf8 = titledWindow("Ταβολιξ 検索");
    EXPECT_EQ(found("Ταβολιξ 検索"), utf8);
    EXPECT_EQ(found("Ταβολιξ"), std::nullopt);
}

TEST_F(X11WindowFinderTest, WithdrawnWindowsAreIgnoredAndMinimisedOnesFound)
{
    const xcb_window_t withdrawn = titledWindow(title, false);
    client().setWmState(withdrawn, WmState::Withdrawn);
    const xcb_window_t frame = client().createWindow();
    const xcb_window_t framed = titledWindow(title, true, frame);
    EXPECT_EQ(found(), std::nullopt) << "withdrawn, or inside an unmapped frame";

    // A window manager unmaps a minimised window and marks it iconic.
    const xcb_window_t minimised = titledWindow(title, false);
    client().setWmState(minimised, WmState::Iconic);
    EXPECT_EQ(found(), minimised);

    // A shown frame on top: its client is found.
    client().map(frame);
    client().raise(frame);
    EXPECT_EQ(found(), framed);
}

TEST_F(X11WindowFinderTest, DeeperWindowsCountOnlyThroughTheClientList)
{
    const xcb_window_t outer = client().createWindow();
    const xcb_window_t inner = client().createWindow(outer);
    const xcb_window_t deep = titledWindow(title, true, inner);
    client().map(inner);
    client().map(outer);
    EXPECT_EQ(found(), std::nullopt);

    client().setClientList({deep});
    EXPECT_EQ(found(), deep);
}

TEST_F(X11WindowFinderTest, TheTopmostOfTwoMatchesIsFound)
{
    const xcb_window_t first = titledWindow(title);
    const xcb_window_t second = titledWindow(title);
    EXPECT_EQ(found(), second);
    client().raise(first);
    EXPECT_EQ(found(), first);
}

TEST_F(X11WindowFinderTest, ActivatingMapsRaisesAndAsksTheWindowManager)
{
    const xcb_window_t window = titledWindow(title, false);
    client().setWmState(window, WmState::Iconic);
    client().map(client().createWindow()); // a cover
    // Where a window manager listens for requests about top-level windows.
    client().selectRootEvents(XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
    ASSERT_TRUE(client().sync());
    client().takeEvents();

    const X11WindowFinder finder(display());
    const auto running = finder.find(title);
    ASSERT_TRUE(running);
    EXPECT_TRUE(finder.activate(*running));

    EXPECT_TRUE(client().isViewable(window));
    EXPECT_EQ(client().children(client().root()).back(), window);
    int requests = 0;
    for (const auto& event : client().takeEvents()) {
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
            continue;
        const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event.get());
        ++requests;
        EXPECT_EQ(message->type, client().atom("_NET_ACTIVE_WINDOW"));
        EXPECT_EQ(message->window, window);
        EXPECT_EQ(message->data.data32[0], 2u); // on the user's behalf
    }
    EXPECT_EQ(requests, 1);
}

TEST(X11WindowFinderWithoutDisplay, NoReachableDisplayFindsNothing)
{
    ASSERT_FALSE(std::filesystem::exists("/tmp/.X11-unix/X64999"));
    const X11WindowFinder unreachable(":64999");
    EXPECT_FALSE(unreachable.isConnected());
    EXPECT_EQ(unreachable.find(title), std::nullopt);
    EXPECT_FALSE(unreachable.activate({}));

    const char* saved = std::getenv("DISPLAY");
    const std::string savedDisplay = saved ? saved : "";
    ::unsetenv("DISPLAY");
    const X11WindowFinder finder;
    const bool foundAny = finder.find(title).has_value();
    if (saved)
        ::setenv("DISPLAY", savedDisplay.c_str(), 1);
    EXPECT_FALSE(foundAny);
}

} // namespace
} // namespace tavolix::test

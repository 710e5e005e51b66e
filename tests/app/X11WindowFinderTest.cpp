#include "X11WindowFinder.h"

#include "XcbTestClient.h"
#include "XvfbServer.h"

#include <algorithm>
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

TEST_F(X11WindowFinderTest, FindsAMappedWindowWithTheExactTitle)
{
    const xcb_window_t window = titledWindow(title);
    EXPECT_EQ(found(), window);
}

TEST_F(X11WindowFinderTest, NothingIsFoundOnAnEmptyDisplay)
{
    EXPECT_EQ(found(), std::nullopt);
}

TEST_F(X11WindowFinderTest, TitlesAreComparedCaseSensitively)
{
    titledWindow("tavolix");
    titledWindow("TAVOLIX");
    EXPECT_EQ(found(), std::nullopt);
}

TEST_F(X11WindowFinderTest, TitlesMustMatchInFullLength)
{
    titledWindow("Tavolix ");
    titledWindow(" Tavolix");
    titledWindow("Tavoli");
    titledWindow("Tavolix - Search");
    // Longer than the bytes the finder reads for a seven-byte title.
    titledWindow("Tavolix and then a good deal more text");
    titledWindow("");
    EXPECT_EQ(found(), std::nullopt);
}

TEST_F(X11WindowFinderTest, AnUnmappedWindowIsIgnored)
{
    titledWindow(title, false);
    EXPECT_EQ(found(), std::nullopt);
}

TEST_F(X11WindowFinderTest, PicksTheOneMatchAmongNearMisses)
{
    titledWindow("tavolix");
    const xcb_window_t exact = titledWindow(title);
    titledWindow("Tavolix ");
    titledWindow(title, false);
    EXPECT_EQ(found(), exact);
}

TEST_F(X11WindowFinderTest, WithdrawnWindowIsIgnoredEvenWithWmState)
{
    const xcb_window_t window = titledWindow(title, false);
    client().setWmState(window, WmState::Withdrawn);
    EXPECT_EQ(found(), std::nullopt);
}

TEST_F(X11WindowFinderTest, MinimisedWindowIsFound)
{
    // A window manager unmaps a minimised window and marks it iconic.
    const xcb_window_t window = titledWindow(title, false);
    client().setWmState(window, WmState::Iconic);
    EXPECT_EQ(found(), window);
}

TEST_F(X11WindowFinderTest, UsesWmNameWhenNetWmNameIsAbsent)
{
    const xcb_window_t window = client().createWindow();
    client().setWmName(window, title);
    client().map(window);
    EXPECT_EQ(found(), window);
}

TEST_F(X11WindowFinderTest, NetWmNameTakesPrecedenceOverWmName)
{
    const xcb_window_t other = client().createWindow();
    client().setNetWmName(other, "Other");
    client().setWmName(other, title);
    client().map(other);
    EXPECT_EQ(found(), std::nullopt);

    const xcb_window_t window = client().createWindow();
    client().setNetWmName(window, title);
    client().setWmName(window, "Other");
    client().map(window);
    EXPECT_EQ(found(), window);
}

TEST_F(X11WindowFinderTest, FindsTheClientWindowInsideAWindowManagerFrame)
{
    const xcb_window_t frame = client().createWindow();
    client().setWmName(frame, "frame");
    const xcb_window_t clientWindow = titledWindow(title, true, frame);
    client().map(frame);
    EXPECT_EQ(found(), clientWindow);
}

TEST_F(X11WindowFinderTest, AClientInsideAnUnmappedFrameIsNotShown)
{
    const xcb_window_t frame = client().createWindow();
    titledWindow(title, true, frame);
    EXPECT_EQ(found(), std::nullopt);
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

TEST_F(X11WindowFinderTest, FindsOtherTitlesToo)
{
    const xcb_window_t window = titledWindow("Ταβολιξ 検索");
    EXPECT_EQ(found("Ταβολιξ 検索"), window);
    EXPECT_EQ(found("Ταβολιξ"), std::nullopt);
}

TEST_F(X11WindowFinderTest, ActivatingMapsAndRaisesTheWindow)
{
    const xcb_window_t window = titledWindow(title, false);
    client().setWmState(window, WmState::Iconic);
    const xcb_window_t cover = client().createWindow();
    client().map(cover);
    ASSERT_TRUE(client().sync());
    ASSERT_FALSE(client().isViewable(window));

    const X11WindowFinder finder(display());
    const auto running = finder.find(title);
    ASSERT_TRUE(running);
    EXPECT_EQ(running->root, client().root());
    EXPECT_TRUE(finder.activate(*running));

    EXPECT_TRUE(client().isViewable(window));
    const auto stack = client().children(client().root());
    ASSERT_FALSE(stack.empty());
    EXPECT_EQ(stack.back(), window);
    EXPECT_NE(std::find(stack.begin(), stack.end(), cover), stack.end());
}

TEST_F(X11WindowFinderTest, ActivatingAsksTheWindowManagerToActivate)
{
    const xcb_window_t window = titledWindow(title);
    // Where a window manager listens for requests about top-level windows.
    client().selectRootEvents(XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
    ASSERT_TRUE(client().sync());

    const X11WindowFinder finder(display());
    const auto running = finder.find(title);
    ASSERT_TRUE(running);
    ASSERT_TRUE(finder.activate(*running));

    const xcb_atom_t activeWindow = client().atom("_NET_ACTIVE_WINDOW");
    int requests = 0;
    for (const auto& event : client().takeEvents()) {
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
            continue;
        const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event.get());
        ++requests;
        EXPECT_EQ(message->type, activeWindow);
        EXPECT_EQ(message->window, window);
        EXPECT_EQ(message->format, 32);
        EXPECT_EQ(message->data.data32[0], 2u); // on the user's behalf
        EXPECT_EQ(message->data.data32[1], uint32_t{XCB_CURRENT_TIME});
    }
    EXPECT_EQ(requests, 1);
}

TEST(X11WindowFinderWithoutDisplay, AnUnreachableDisplayFindsNothing)
{
    ASSERT_FALSE(std::filesystem::exists("/tmp/.X11-unix/X64999"));
    const X11WindowFinder finder(":64999");
    EXPECT_FALSE(finder.isConnected());
    EXPECT_EQ(finder.find(title), std::nullopt);
    EXPECT_FALSE(finder.activate({}));
}

TEST(X11WindowFinderWithoutDisplay, NoDisplayVariableFindsNothing)
{
    const char* saved = std::getenv("DISPLAY");
    const std::string savedDisplay = saved ? saved : "";
    ::unsetenv("DISPLAY");
    const X11WindowFinder finder;
    const bool connected = finder.isConnected();
    const bool foundAny = finder.find(title).has_value();
    if (saved)
        ::setenv("DISPLAY", savedDisplay.c_str(), 1);
    EXPECT_FALSE(connected);
    EXPECT_FALSE(foundAny);
}

} // namespace
} // namespace tavolix::test

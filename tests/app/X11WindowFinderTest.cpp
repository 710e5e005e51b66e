// The window search on a private Xvfb (activation: ProgramTest).
#include "X11WindowFinder.h"

#include "XcbTestClient.h"
#include "XvfbServer.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

namespace tavolix::test {
namespace {

constexpr const char* title = "Tavolix";
constexpr const char* utf8Title = "Ταβολιξ 検索";
constexpr std::size_t none = ~std::size_t{0};
constexpr xcb_window_t noWindow = XCB_WINDOW_NONE;

// A window a row makes, after those before it (so above them).
struct Window
{
    const char* netWmName = title; // nullptr: no such property
    const char* wmName = title;
    bool mapped = true;
    std::optional<WmState> state{};
    std::size_t parent = none; // an earlier window of the row; none: the root
};
constexpr Window frame{.netWmName = nullptr, .wmName = nullptr};
constexpr Window unmappedFrame{.netWmName = nullptr, .wmName = nullptr, .mapped = false};
constexpr Window frameIn0{.netWmName = nullptr, .wmName = nullptr, .parent = 0};

TEST(X11WindowFinder, FindsTheTopmostShownOrMinimisedWindowWithExactlyTheTitle)
{
    const XvfbServer server;
    if (!server.isRunning())
        GTEST_SKIP() << "no X server for the test: " << server.problem();
    struct Row
    {
        const char* what;
        std::vector<Window> windows;
        std::size_t expected; // the index of the window found
        const char* searched = title;
        std::size_t listedClient = none; // in _NET_CLIENT_LIST
        std::size_t raised = none;
    };
    const auto named = [](const char* name) { return Window{.netWmName = name, .wmName = name}; };
    const Row rows[] = {
        {"an empty display", {}, none},
        // Case, length and prefix, also beyond the bytes read for the title.
        {"near misses",
         {named("tavolix"), named("TAVOLIX"), named("Tavolix "), named(" Tavolix"), named("Tavoli"),
          named(""), named("Tavolix and then a good deal more text")},
         none},
        {"an unmapped exact match", {{.mapped = false}}, none},
        {"_NET_WM_NAME before WM_NAME", {{.netWmName = "Other"}}, none},
        {"WM_NAME without _NET_WM_NAME", {{.netWmName = nullptr}}, 0},
        {"a UTF-8 title", {named(utf8Title)}, 0, utf8Title},
        {"a prefix of a UTF-8 title", {named(utf8Title)}, none, "Ταβολιξ"},
        {"withdrawn", {{.mapped = false, .state = WmState::Withdrawn}}, none},
        {"inside an unmapped frame", {unmappedFrame, {.parent = 0}}, none},
        // A window manager unmaps a minimised window and marks it iconic.
        {"minimised", {{.mapped = false, .state = WmState::Iconic}}, 0},
        {"the client of a shown frame above a minimised one",
         {{.mapped = false, .state = WmState::Iconic}, frame, {.parent = 1}},
         2},
        {"deeper than a frame's client", {frame, frameIn0, {.parent = 1}}, none},
        {"the topmost of two", {{}, {}}, 1},
        {"the raised one of two", {{}, {}}, 0, title, none, 0},
        // Last: the list stays on the root.
        {"deeper, but in the client list", {frame, frameIn0, {.parent = 1}}, 2, title, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        XcbTestClient client(server.displayName());
        ASSERT_TRUE(client.isConnected());
        std::vector<xcb_window_t> made;
        for (const Window& window : row.windows) {
            made.push_back(
                client.createWindow(window.parent == none ? noWindow : made[window.parent]));
            if (window.netWmName)
                client.setProperty(made.back(), client.atom("_NET_WM_NAME"),
                                   client.atom("UTF8_STRING"), 8, std::strlen(window.netWmName),
                                   window.netWmName);
            if (window.wmName)
                client.setProperty(made.back(), XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                                   std::strlen(window.wmName), window.wmName);
            if (window.state)
                client.setWmState(made.back(), *window.state);
            if (window.mapped)
                client.map(made.back());
        }
        if (row.listedClient != none)
            client.setProperty(client.root(), client.atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 32,
                               1, &made[row.listedClient]);
        const uint32_t above = XCB_STACK_MODE_ABOVE;
        if (row.raised != none)
            xcb_configure_window(client.get(), made[row.raised], XCB_CONFIG_WINDOW_STACK_MODE,
                                 &above);
        ASSERT_TRUE(client.sync());
        const X11WindowFinder finder(server.displayName().c_str());
        ASSERT_TRUE(finder.isConnected());
        const auto found = finder.find(row.searched);
        EXPECT_EQ(found ? found->window : noWindow,
                  row.expected == none ? noWindow : made[row.expected]);
    }
}

TEST(X11WindowFinder, NoReachableDisplayFindsNothing)
{
    ASSERT_FALSE(std::filesystem::exists("/tmp/.X11-unix/X64999"));
    const X11WindowFinder unreachable(":64999");
    EXPECT_FALSE(unreachable.isConnected());
    EXPECT_EQ(unreachable.find(title), std::nullopt);
    EXPECT_FALSE(unreachable.activate({}));
}

} // namespace
} // namespace tavolix::test

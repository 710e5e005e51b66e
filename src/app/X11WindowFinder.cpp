#include "X11WindowFinder.h"

#include "TopLevelWindows.h"
#include "WindowFacts.h"

#include <array>

namespace tavolix {
namespace {

// _NET_ACTIVE_WINDOW source indication of a program acting for the user
// (the second start is the user's request), which window managers follow
// more readily than an application's own request.
constexpr uint32_t sourceIndicationPager = 2;

bool matches(const WindowFacts& facts, std::string_view title)
{
    return (facts.viewable || facts.iconic) && facts.titleComplete && facts.title == title;
}

} // namespace

X11WindowFinder::X11WindowFinder(const char* displayName)
    : m_connection(displayName), m_atoms(internAtoms(m_connection))
{}

std::optional<FoundWindow> X11WindowFinder::find(std::string_view title) const
{
    for (const xcb_window_t root : m_connection.rootWindows()) {
        const auto candidates = topLevelCandidates(m_connection, m_atoms, root);
        for (const WindowFacts& facts :
             readWindowFacts(m_connection, m_atoms, candidates, title.size())) {
            if (matches(facts, title))
                return FoundWindow{facts.window, root};
        }
    }
    return std::nullopt;
}

bool X11WindowFinder::activate(const FoundWindow& found) const
{
    if (!isConnected())
        return false;
    xcb_connection_t* c = m_connection.get();

    // Mapping a minimised window asks the window manager to restore it.
    xcb_map_window(c, found.window);
    const std::array<uint32_t, 1> stackMode{XCB_STACK_MODE_ABOVE};
    xcb_configure_window(c, found.window, XCB_CONFIG_WINDOW_STACK_MODE, stackMode.data());

    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = found.window;
    message.type = m_atoms.netActiveWindow;
    message.data.data32[0] = sourceIndicationPager;
    message.data.data32[1] = XCB_CURRENT_TIME;
    message.data.data32[2] = XCB_WINDOW_NONE; // our own active window: we have none
    xcb_send_event(c, 0, found.root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);
    return m_connection.sync();
}

} // namespace tavolix

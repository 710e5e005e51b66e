#pragma once

#include "XcbConnection.h"
#include "XcbReply.h"

#include <QtGlobal>
#include <compare>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>
#include <xcb/xcb.h>

namespace tavolix::test {

// The ICCCM WM_STATE values a window manager sets.
enum class WmState : uint32_t
{
    Withdrawn = 0,
    Normal = 1,
    Iconic = 3
};

// A point on the root window.
struct RootPoint final
{
    int x = 0;
    int y = 0;
    friend auto operator<=>(const RootPoint&, const RootPoint&) = default;
    friend RootPoint operator+(RootPoint a, RootPoint b) { return {a.x + b.x, a.y + b.y}; }
    friend std::ostream& operator<<(std::ostream& out, RootPoint p)
    {
        return out << '(' << p.x << ", " << p.y << ')';
    }
};

// A test's own X client: makes and changes windows the way applications
// and window managers do, and reads back what the server holds. Every
// window it made and every root property it set is gone after destruction.
class XcbTestClient final
{
public:
    explicit XcbTestClient(const std::string& displayName);
    ~XcbTestClient();
    Q_DISABLE_COPY_MOVE(XcbTestClient)

    bool isConnected() const { return m_connection.isConnected(); }
    xcb_connection_t* get() const { return m_connection.get(); }
    xcb_window_t root() const { return m_root; }
    xcb_atom_t atom(std::string_view name) const;

    // An unmapped 100×80 input-output window; the root's child by default.
    xcb_window_t createWindow(xcb_window_t parent = XCB_WINDOW_NONE);
    void setNetWmName(xcb_window_t window, std::string_view title);
    void setWmName(xcb_window_t window, std::string_view title);
    void setWmState(xcb_window_t window, WmState state);
    void setClientList(const std::vector<xcb_window_t>& windows);
    void map(xcb_window_t window);
    void raise(xcb_window_t window);
    // What a window manager sends when the user closes a window.
    void requestClose(xcb_window_t window);
    // What a task bar sends when the user picks a window.
    void requestActivation(xcb_window_t window);

    bool isViewable(xcb_window_t window) const;
    // Children of `parent`, bottom of the stack first.
    std::vector<xcb_window_t> children(xcb_window_t parent) const;
    std::string netWmName(xcb_window_t window) const;
    uint32_t pidOf(xcb_window_t window) const;
    std::optional<WmState> wmState(xcb_window_t window) const;
    // Where the window's top-left corner is on the root window.
    std::optional<RootPoint> rootPosition(xcb_window_t window) const;
    // The pixels of a rectangle of a viewable window, as the server sends them.
    std::vector<uint8_t> pixels(xcb_window_t window, int x, int y, int width, int height) const;

    void selectRootEvents(uint32_t eventMask);
    // Every event the server has sent so far.
    std::vector<XcbReply<xcb_generic_event_t>> takeEvents();
    bool sync() const { return m_connection.sync(); }

private:
    XcbConnection m_connection;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    std::vector<xcb_window_t> m_windows;
    bool m_clientListSet = false;
};

} // namespace tavolix::test

#pragma once

#include "XcbAtoms.h"
#include "XcbConnection.h"

#include <QtGlobal>
#include <optional>
#include <string_view>
#include <xcb/xcb.h>

namespace tavolix {

struct FoundWindow final
{
    xcb_window_t window = XCB_WINDOW_NONE;
    xcb_window_t root = XCB_WINDOW_NONE;
};

// Finds another program's top-level window by its title on an X display and
// brings it to the front. Without a reachable display nothing is ever found.
class X11WindowFinder final
{
public:
    // A null name means the display named by $DISPLAY.
    explicit X11WindowFinder(const char* displayName = nullptr);
    Q_DISABLE_COPY_MOVE(X11WindowFinder)

    bool isConnected() const { return m_connection.isConnected(); }

    // The topmost top-level window whose title is exactly `title` (bytes
    // compared as they are, so case counts) and that is on screen or
    // minimised. Withdrawn (unmapped, not minimised) windows do not count.
    std::optional<FoundWindow> find(std::string_view title) const;

    // Maps and raises the window and asks the window manager to activate it.
    // Returns once the server has handled the requests.
    bool activate(const FoundWindow& found) const;

private:
    XcbConnection m_connection;
    XcbAtoms m_atoms;
};

} // namespace tavolix

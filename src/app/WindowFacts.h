#pragma once

#include <cstddef>
#include <string>
#include <vector>
#include <xcb/xcb.h>

namespace tavolix {

class XcbConnection;
struct XcbAtoms;

// What the single-instance search needs to know about one window.
struct WindowFacts final
{
    xcb_window_t window = XCB_WINDOW_NONE;
    bool viewable = false; // mapped, and so are all its ancestors
    bool iconic = false;   // minimised: the window manager has unmapped it
    // _NET_WM_NAME (UTF-8) when the window has it, else WM_NAME.
    std::string title;
    // False when the title is longer than the bytes asked for.
    bool titleComplete = false;
};

// Reads the facts of every window with one round trip. Titles are read up
// to `titleBytes` bytes. Windows that vanished meanwhile are left out.
std::vector<WindowFacts> readWindowFacts(const XcbConnection& connection, const XcbAtoms& atoms,
                                         const std::vector<xcb_window_t>& windows,
                                         std::size_t titleBytes);

} // namespace tavolix

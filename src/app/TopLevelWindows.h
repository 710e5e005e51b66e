#pragma once

#include <vector>
#include <xcb/xcb.h>

namespace tavolix {

class XcbConnection;
struct XcbAtoms;

// The windows under `root` that may be an application's top-level window,
// topmost first: the root's children, the children of each (the client
// window inside a window manager's frame) and the window manager's
// _NET_CLIENT_LIST, each window once.
std::vector<xcb_window_t> topLevelCandidates(const XcbConnection& connection, const XcbAtoms& atoms,
                                             xcb_window_t root);

} // namespace tavolix

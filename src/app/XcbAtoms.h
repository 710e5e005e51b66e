#pragma once

#include <xcb/xcb.h>

namespace tavolix {

class XcbConnection;

// The atoms that the window search and activation need; XCB_ATOM_NONE for
// any the server could not provide.
struct XcbAtoms final
{
    xcb_atom_t netWmName = XCB_ATOM_NONE;
    xcb_atom_t utf8String = XCB_ATOM_NONE;
    xcb_atom_t wmState = XCB_ATOM_NONE;
    xcb_atom_t netClientList = XCB_ATOM_NONE;
    xcb_atom_t netActiveWindow = XCB_ATOM_NONE;
};

XcbAtoms internAtoms(const XcbConnection& connection);

} // namespace tavolix

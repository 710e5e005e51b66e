#include "XcbConnection.h"

#include "XcbReply.h"

namespace tavolix {

XcbConnection::XcbConnection(const char* displayName)
    : m_connection(xcb_connect(displayName, nullptr))
{}

XcbConnection::~XcbConnection()
{
    // xcb_connect never returns null; even a failed connection must be released.
    xcb_disconnect(m_connection);
}

bool XcbConnection::isConnected() const
{
    return xcb_connection_has_error(m_connection) == 0;
}

std::vector<xcb_window_t> XcbConnection::rootWindows() const
{
    std::vector<xcb_window_t> roots;
    if (!isConnected())
        return roots;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(m_connection)); it.rem != 0;
         xcb_screen_next(&it))
        roots.push_back(it.data->root);
    return roots;
}

bool XcbConnection::sync() const
{
    if (!isConnected())
        return false;
    const auto focus =
        xcbReply(xcb_get_input_focus_reply, m_connection, xcb_get_input_focus(m_connection));
    return focus != nullptr && isConnected();
}

} // namespace tavolix

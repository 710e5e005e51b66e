#pragma once

#include <QtGlobal>
#include <vector>
#include <xcb/xcb.h>

namespace tavolix {

// One connection to an X server, closed on destruction. A display that
// cannot be reached leaves the object unconnected rather than throwing.
class XcbConnection final
{
public:
    // A null name means the display named by $DISPLAY.
    explicit XcbConnection(const char* displayName = nullptr);
    ~XcbConnection();
    Q_DISABLE_COPY_MOVE(XcbConnection)

    bool isConnected() const;
    xcb_connection_t* get() const { return m_connection; }
    std::vector<xcb_window_t> rootWindows() const;

    // Waits until the server has handled every request sent so far.
    bool sync() const;

private:
    xcb_connection_t* m_connection;
};

} // namespace tavolix

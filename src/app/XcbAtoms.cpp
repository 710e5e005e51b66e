#include "XcbAtoms.h"

#include "XcbConnection.h"
#include "XcbReply.h"

#include <array>
#include <string_view>

namespace tavolix {

XcbAtoms internAtoms(const XcbConnection& connection)
{
    XcbAtoms atoms;
    if (!connection.isConnected())
        return atoms;

    const std::array<std::pair<std::string_view, xcb_atom_t*>, 5> wanted{{
        {"_NET_WM_NAME", &atoms.netWmName},
        {"UTF8_STRING", &atoms.utf8String},
        {"WM_STATE", &atoms.wmState},
        {"_NET_CLIENT_LIST", &atoms.netClientList},
        {"_NET_ACTIVE_WINDOW", &atoms.netActiveWindow},
    }};

    // Send every request first so that the lookups cost one round trip.
    std::array<xcb_intern_atom_cookie_t, wanted.size()> cookies{};
    for (std::size_t i = 0; i < wanted.size(); ++i)
        cookies[i] =
            xcb_intern_atom(connection.get(), 0, static_cast<uint16_t>(wanted[i].first.size()),
                            wanted[i].first.data());
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        const auto reply = xcbReply(xcb_intern_atom_reply, connection.get(), cookies[i]);
        if (reply)
            *wanted[i].second = reply->atom;
    }
    return atoms;
}

} // namespace tavolix

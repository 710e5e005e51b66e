#include "WindowFacts.h"

#include "XcbAtoms.h"
#include "XcbConnection.h"
#include "XcbReply.h"

namespace tavolix {
namespace {

// ICCCM WM_STATE value of a minimised window.
constexpr uint32_t iconicState = 3;

struct Requests final
{
    xcb_get_window_attributes_cookie_t attributes;
    xcb_get_property_cookie_t netWmName;
    xcb_get_property_cookie_t wmName;
    xcb_get_property_cookie_t wmState;
};

struct TitleText final
{
    bool present = false;
    bool complete = false;
    std::string text;
};

TitleText readTitle(xcb_connection_t* connection, xcb_get_property_cookie_t cookie,
                    xcb_atom_t requiredType)
{
    TitleText title;
    const auto reply = xcbReply(xcb_get_property_reply, connection, cookie);
    if (!reply || reply->type == XCB_ATOM_NONE || reply->format != 8)
        return title;
    if (requiredType != XCB_GET_PROPERTY_TYPE_ANY && reply->type != requiredType)
        return title;
    title.present = true;
    title.complete = reply->bytes_after == 0;
    const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply.get()));
    title.text.assign(bytes, static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
    return title;
}

bool isIconic(xcb_connection_t* connection, xcb_get_property_cookie_t cookie, xcb_atom_t wmState)
{
    const auto reply = xcbReply(xcb_get_property_reply, connection, cookie);
    if (!reply || reply->type != wmState || reply->format != 32 ||
        xcb_get_property_value_length(reply.get()) < 4)
        return false;
    return *static_cast<const uint32_t*>(xcb_get_property_value(reply.get())) == iconicState;
}

} // namespace

std::vector<WindowFacts> readWindowFacts(const XcbConnection& connection, const XcbAtoms& atoms,
                                         const std::vector<xcb_window_t>& windows,
                                         std::size_t titleBytes)
{
    xcb_connection_t* c = connection.get();
    // Property lengths are counted in 32-bit units; one more unit than the
    // title needs tells a longer title apart by a non-zero bytes_after.
    const auto titleUnits = static_cast<uint32_t>(titleBytes / 4 + 1);

    std::vector<Requests> requests;
    requests.reserve(windows.size());
    for (const xcb_window_t window : windows) {
        requests.push_back({
            xcb_get_window_attributes(c, window),
            xcb_get_property(c, 0, window, atoms.netWmName, atoms.utf8String, 0, titleUnits),
            xcb_get_property(c, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0,
                             titleUnits),
            xcb_get_property(c, 0, window, atoms.wmState, atoms.wmState, 0, 2),
        });
    }

    std::vector<WindowFacts> facts;
    facts.reserve(windows.size());
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const Requests& r = requests[i];
        const auto attributes = xcbReply(xcb_get_window_attributes_reply, c, r.attributes);
        // Collect every reply even for a vanished window, so none is left queued.
        const TitleText netWmName = readTitle(c, r.netWmName, atoms.utf8String);
        const TitleText wmName = readTitle(c, r.wmName, XCB_GET_PROPERTY_TYPE_ANY);
        const bool iconic = isIconic(c, r.wmState, atoms.wmState);
        if (!attributes)
            continue;

        const TitleText& title = netWmName.present ? netWmName : wmName;
        facts.push_back({
            .window = windows[i],
            .viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE,
            .iconic = iconic,
            .title = title.text,
            .titleComplete = title.present && title.complete,
        });
    }
    return facts;
}

} // namespace tavolix

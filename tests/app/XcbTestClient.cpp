#include "XcbTestClient.h"

#include <algorithm>
#include <array>

namespace tavolix::test {

XcbTestClient::XcbTestClient(const std::string& displayName) : m_connection(displayName.c_str())
{
    if (isConnected())
        m_root = xcb_setup_roots_iterator(xcb_get_setup(get())).data->root;
}

XcbTestClient::~XcbTestClient()
{
    if (!isConnected())
        return;
    // Destroyed explicitly and synchronously: the next test may share the server.
    // Children before their parents.
    std::for_each(m_windows.rbegin(), m_windows.rend(),
                  [this](xcb_window_t window) { xcb_destroy_window(get(), window); });
    if (m_clientListSet)
        xcb_delete_property(get(), m_root, atom("_NET_CLIENT_LIST"));
    sync();
}

xcb_atom_t XcbTestClient::atom(std::string_view name) const
{
    const auto reply =
        xcbReply(xcb_intern_atom_reply, get(),
                 xcb_intern_atom(get(), 0, static_cast<uint16_t>(name.size()), name.data()));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

xcb_window_t XcbTestClient::createWindow(xcb_window_t parent)
{
    const xcb_window_t window = xcb_generate_id(get());
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(get())).data;
    const std::array<uint32_t, 1> values{screen->black_pixel};
    const xcb_window_t actualParent = parent == XCB_WINDOW_NONE ? m_root : parent;
    xcb_create_window(get(), XCB_COPY_FROM_PARENT, window, actualParent, 10, 10, 100, 80, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL,
                      values.data());
    m_windows.push_back(window);
    return window;
}

void XcbTestClient::setNetWmName(xcb_window_t window, std::string_view title)
{
    xcb_change_property(get(), XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_NAME"),
                        atom("UTF8_STRING"), 8, static_cast<uint32_t>(title.size()), title.data());
}

void XcbTestClient::setWmName(xcb_window_t window, std::string_view title)
{
    xcb_change_property(get(), XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(title.size()), title.data());
}

void XcbTestClient::setWmState(xcb_window_t window, WmState state)
{
    const std::array<uint32_t, 2> value{static_cast<uint32_t>(state), XCB_WINDOW_NONE};
    const xcb_atom_t wmState = atom("WM_STATE");
    xcb_change_property(get(), XCB_PROP_MODE_REPLACE, window, wmState, wmState, 32,
                        static_cast<uint32_t>(value.size()), value.data());
}

void XcbTestClient::setClientList(const std::vector<xcb_window_t>& windows)
{
    xcb_change_property(get(), XCB_PROP_MODE_REPLACE, m_root, atom("_NET_CLIENT_LIST"),
                        XCB_ATOM_WINDOW, 32, static_cast<uint32_t>(windows.size()), windows.data());
    m_clientListSet = true;
}

void XcbTestClient::map(xcb_window_t window)
{
    xcb_map_window(get(), window);
}

void XcbTestClient::raise(xcb_window_t window)
{
    const std::array<uint32_t, 1> stackMode{XCB_STACK_MODE_ABOVE};
    xcb_configure_window(get(), window, XCB_CONFIG_WINDOW_STACK_MODE, stackMode.data());
}

void XcbTestClient::requestClose(xcb_window_t window)
{
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom("WM_PROTOCOLS");
    message.data.data32[0] = atom("WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(get(), 0, window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&message));
}

void XcbTestClient::requestActivation(xcb_window_t window)
{
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom("_NET_ACTIVE_WINDOW");
    message.data.data32[0] = 2; // from a pager or task bar
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(get(), 0, m_root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
}

bool XcbTestClient::isViewable(xcb_window_t window) const
{
    const auto attributes =
        xcbReply(xcb_get_window_attributes_reply, get(), xcb_get_window_attributes(get(), window));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

std::vector<xcb_window_t> XcbTestClient::children(xcb_window_t parent) const
{
    const auto tree = xcbReply(xcb_query_tree_reply, get(), xcb_query_tree(get(), parent));
    if (!tree)
        return {};
    const xcb_window_t* first = xcb_query_tree_children(tree.get());
    return {first, first + xcb_query_tree_children_length(tree.get())};
}

std::string XcbTestClient::netWmName(xcb_window_t window) const
{
    const auto reply = xcbReply(
        xcb_get_property_reply, get(),
        xcb_get_property(get(), 0, window, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 0, 1024));
    if (!reply || reply->format != 8)
        return {};
    const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply.get()));
    return {bytes, static_cast<std::size_t>(xcb_get_property_value_length(reply.get()))};
}

uint32_t XcbTestClient::pidOf(xcb_window_t window) const
{
    const auto reply =
        xcbReply(xcb_get_property_reply, get(),
                 xcb_get_property(get(), 0, window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 0, 1));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
        return 0;
    return *static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
}

std::optional<WmState> XcbTestClient::wmState(xcb_window_t window) const
{
    const xcb_atom_t wmState = atom("WM_STATE");
    const auto reply = xcbReply(xcb_get_property_reply, get(),
                                xcb_get_property(get(), 0, window, wmState, wmState, 0, 2));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
        return std::nullopt;
    return static_cast<WmState>(*static_cast<const uint32_t*>(xcb_get_property_value(reply.get())));
}

std::optional<RootPoint> XcbTestClient::rootPosition(xcb_window_t window) const
{
    const auto reply = xcbReply(xcb_translate_coordinates_reply, get(),
                                xcb_translate_coordinates(get(), window, m_root, 0, 0));
    if (!reply)
        return std::nullopt;
    return RootPoint{reply->dst_x, reply->dst_y};
}

std::vector<uint8_t> XcbTestClient::pixels(xcb_window_t window, int x, int y, int width,
                                           int height) const
{
    const auto reply =
        xcbReply(xcb_get_image_reply, get(),
                 xcb_get_image(get(), XCB_IMAGE_FORMAT_Z_PIXMAP, window, static_cast<int16_t>(x),
                               static_cast<int16_t>(y), static_cast<uint16_t>(width),
                               static_cast<uint16_t>(height), ~0u));
    if (!reply)
        return {};
    const uint8_t* first = xcb_get_image_data(reply.get());
    return {first, first + xcb_get_image_data_length(reply.get())};
}

void XcbTestClient::selectRootEvents(uint32_t eventMask)
{
    xcb_change_window_attributes(get(), m_root, XCB_CW_EVENT_MASK, &eventMask);
}

std::vector<XcbReply<xcb_generic_event_t>> XcbTestClient::takeEvents()
{
    // The round trip's reply comes after every event sent before it.
    sync();
    std::vector<XcbReply<xcb_generic_event_t>> events;
    while (xcb_generic_event_t* event = xcb_poll_for_queued_event(get()))
        events.emplace_back(event);
    return events;
}

} // namespace tavolix::test

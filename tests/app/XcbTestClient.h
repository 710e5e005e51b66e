#pragma once

#include "XcbConnection.h"
#include "XcbReply.h"

#include <compare>
#include <cstdint>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace tavolix::test {

enum class WmState : uint32_t
{
    Withdrawn = 0,
    Normal = 1,
    Iconic = 3
};

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

// Makes windows as applications and window managers do; reads back what the server holds.
class XcbTestClient final
{
public:
    explicit XcbTestClient(const std::string& displayName) : m_connection(displayName.c_str())
    {
        if (isConnected())
            m_root = xcb_setup_roots_iterator(xcb_get_setup(get())).data->root;
    }
    Q_DISABLE_COPY_MOVE(XcbTestClient)

    bool isConnected() const { return m_connection.isConnected(); }
    xcb_connection_t* get() const { return m_connection.get(); }
    xcb_window_t root() const { return m_root; }
    bool sync() const { return m_connection.sync(); }
    xcb_atom_t atom(std::string_view name) const
    {
        const auto reply =
            xcbReply(xcb_intern_atom_reply, get(),
                     xcb_intern_atom(get(), 0, static_cast<uint16_t>(name.size()), name.data()));
        return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }

    // An unmapped 100×80 window; the root's child by default.
    xcb_window_t createWindow(xcb_window_t parent = XCB_WINDOW_NONE)
    {
        const xcb_window_t window = xcb_generate_id(get());
        xcb_create_window(get(), XCB_COPY_FROM_PARENT, window, parent ? parent : m_root, 10, 10,
                          100, 80, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0,
                          nullptr);
        return window;
    }
    void setWmState(xcb_window_t window, WmState state)
    {
        const uint32_t value[] = {static_cast<uint32_t>(state), XCB_WINDOW_NONE};
        setProperty(window, atom("WM_STATE"), atom("WM_STATE"), 32, 2, value);
    }
    void map(xcb_window_t window) { xcb_map_window(get(), window); }
    void unmap(xcb_window_t window) { xcb_unmap_window(get(), window); }
    // What a window manager sends when the user closes a window.
    void requestClose(xcb_window_t window)
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

    bool isViewable(xcb_window_t window) const
    {
        const auto attributes = xcbReply(xcb_get_window_attributes_reply, get(),
                                         xcb_get_window_attributes(get(), window));
        return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    }
    // Children of `parent`, bottom of the stack first.
    std::vector<xcb_window_t> children(xcb_window_t parent) const
    {
        const auto tree = xcbReply(xcb_query_tree_reply, get(), xcb_query_tree(get(), parent));
        if (!tree)
            return {};
        const xcb_window_t* first = xcb_query_tree_children(tree.get());
        return {first, first + xcb_query_tree_children_length(tree.get())};
    }
    uint32_t pidOf(xcb_window_t window) const
    {
        return firstWord(property(window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL)).value_or(0);
    }
    std::optional<WmState> wmState(xcb_window_t window) const
    {
        const auto word = firstWord(property(window, atom("WM_STATE"), atom("WM_STATE")));
        return word ? std::optional(static_cast<WmState>(*word)) : std::nullopt;
    }
    std::optional<RootPoint> rootPosition(xcb_window_t window) const
    {
        const auto reply = xcbReply(xcb_translate_coordinates_reply, get(),
                                    xcb_translate_coordinates(get(), window, m_root, 0, 0));
        return reply ? std::optional(RootPoint{reply->dst_x, reply->dst_y}) : std::nullopt;
    }
    std::vector<uint8_t> pixels(xcb_window_t window, xcb_rectangle_t area) const
    {
        const auto reply = xcbReply(xcb_get_image_reply, get(),
                                    xcb_get_image(get(), XCB_IMAGE_FORMAT_Z_PIXMAP, window, area.x,
                                                  area.y, area.width, area.height, ~0u));
        if (!reply)
            return {};
        const uint8_t* first = xcb_get_image_data(reply.get());
        return {first, first + xcb_get_image_data_length(reply.get())};
    }

    void selectRootEvents(uint32_t eventMask)
    {
        xcb_change_window_attributes(get(), m_root, XCB_CW_EVENT_MASK, &eventMask);
    }
    std::vector<XcbReply<xcb_generic_event_t>> takeEvents()
    {
        sync(); // its reply comes after every event sent before it
        std::vector<XcbReply<xcb_generic_event_t>> events;
        while (xcb_generic_event_t* event = xcb_poll_for_queued_event(get()))
            events.emplace_back(event);
        return events;
    }
    void setProperty(xcb_window_t window, xcb_atom_t name, xcb_atom_t type, uint8_t format,
                     std::size_t count, const void* data)
    {
        xcb_change_property(get(), XCB_PROP_MODE_REPLACE, window, name, type, format,
                            static_cast<uint32_t>(count), data);
    }
    // A property's value as the server sends it; empty if of another type.
    std::string property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type) const
    {
        const auto reply = xcbReply(xcb_get_property_reply, get(),
                                    xcb_get_property(get(), 0, window, name, type, 0, 1024));
        if (!reply)
            return {};
        const auto* value = static_cast<const char*>(xcb_get_property_value(reply.get()));
        return {value, value + xcb_get_property_value_length(reply.get())};
    }

private:
    static std::optional<uint32_t> firstWord(const std::string& value)
    {
        uint32_t word = 0;
        if (value.size() < sizeof word)
            return std::nullopt;
        std::memcpy(&word, value.data(), sizeof word);
        return word;
    }

    XcbConnection m_connection;
    xcb_window_t m_root = XCB_WINDOW_NONE;
};

} // namespace tavolix::test

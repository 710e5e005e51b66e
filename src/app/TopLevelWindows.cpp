#include "TopLevelWindows.h"

#include "XcbAtoms.h"
#include "XcbConnection.h"
#include "XcbReply.h"

#include <algorithm>
#include <unordered_set>

namespace tavolix {
namespace {

// Children in stacking order, bottom first, as the server reports them.
std::vector<xcb_window_t> childrenOf(xcb_connection_t* connection, xcb_query_tree_cookie_t cookie)
{
    const auto tree = xcbReply(xcb_query_tree_reply, connection, cookie);
    if (!tree)
        return {};
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    return {children, children + xcb_query_tree_children_length(tree.get())};
}

std::vector<xcb_window_t> clientList(xcb_connection_t* connection, xcb_get_property_cookie_t cookie)
{
    const auto reply = xcbReply(xcb_get_property_reply, connection, cookie);
    if (!reply || reply->type != XCB_ATOM_WINDOW || reply->format != 32)
        return {};
    const auto* windows = static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    return {windows, windows + count};
}

} // namespace

std::vector<xcb_window_t> topLevelCandidates(const XcbConnection& connection, const XcbAtoms& atoms,
                                             xcb_window_t root)
{
    xcb_connection_t* c = connection.get();
    const auto rootTree = xcb_query_tree(c, root);
    // Far more windows than any desktop holds; a longer list is cut, not refused.
    constexpr uint32_t maxClients = 65536;
    const auto clients =
        xcb_get_property(c, 0, root, atoms.netClientList, XCB_ATOM_WINDOW, 0, maxClients);

    std::vector<xcb_window_t> topLevels = childrenOf(c, rootTree);
    std::reverse(topLevels.begin(), topLevels.end());

    std::vector<xcb_query_tree_cookie_t> childTrees;
    childTrees.reserve(topLevels.size());
    for (const xcb_window_t window : topLevels)
        childTrees.push_back(xcb_query_tree(c, window));

    std::vector<xcb_window_t> candidates;
    std::unordered_set<xcb_window_t> seen;
    const auto add = [&](xcb_window_t window) {
        if (seen.insert(window).second)
            candidates.push_back(window);
    };
    for (std::size_t i = 0; i < topLevels.size(); ++i) {
        add(topLevels[i]);
        std::vector<xcb_window_t> inner = childrenOf(c, childTrees[i]);
        std::for_each(inner.rbegin(), inner.rend(), add);
    }
    for (const xcb_window_t window : clientList(c, clients))
        add(window);
    return candidates;
}

} // namespace tavolix

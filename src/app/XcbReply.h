#pragma once

#include <cstdlib>
#include <memory>
#include <type_traits>
#include <xcb/xcb.h>

namespace tavolix {

// xcb hands out replies and errors as malloc'ed blocks that the caller frees.
struct XcbFree final
{
    void operator()(void* block) const noexcept { std::free(block); }
};

template <typename T> using XcbReply = std::unique_ptr<T, XcbFree>;
using XcbError = XcbReply<xcb_generic_error_t>;

// Waits for the reply of one request and takes ownership of the reply and
// of any error, e.g. xcbReply(xcb_get_property_reply, connection, cookie).
template <typename ReplyFunction, typename Cookie>
auto xcbReply(ReplyFunction replyFunction, xcb_connection_t* connection, Cookie cookie)
{
    xcb_generic_error_t* rawError = nullptr;
    auto* raw = replyFunction(connection, cookie, &rawError);
    XcbError error(rawError);
    return XcbReply<std::remove_pointer_t<decltype(raw)>>(raw);
}

} // namespace tavolix

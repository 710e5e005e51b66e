#include "EndlessAnswer.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <sys/types.h>

namespace tavolix::onvifsim {
namespace {

constexpr std::size_t chunkBytes = 16 * 1024;

struct EndlessBody
{
    std::string head; // the answer's own body
    std::string mac;
    SimFleet* fleet = nullptr;
    uint64_t produced = 0;
};

ssize_t produce(void* state, uint64_t position, char* buffer, std::size_t room)
{
    auto& body = *static_cast<EndlessBody*>(state);
    if (position >= endlessAnswerCap)
        return MHD_CONTENT_READER_END_OF_STREAM;
    const auto length =
        static_cast<std::size_t>(std::min<uint64_t>(room, endlessAnswerCap - position));
    std::memset(buffer, ' ', length);
    if (position < body.head.size()) {
        const std::size_t from = static_cast<std::size_t>(position);
        const std::size_t copied = std::min(length, body.head.size() - from);
        std::memcpy(buffer, body.head.data() + from, copied);
    }
    body.produced = position + length;
    return static_cast<ssize_t>(length);
}

// The daemon's one call when the answer is done with, however it ended.
void finished(void* state)
{
    const std::unique_ptr<EndlessBody> body(static_cast<EndlessBody*>(state));
    body->fleet->note("oversized " + body->mac + " " + std::to_string(body->produced));
}

} // namespace

MHD_Result queueEndlessAnswer(MHD_Connection* connection, const HttpAnswer& answer, SimFleet& fleet)
{
    auto body = std::make_unique<EndlessBody>(EndlessBody{answer.body, answer.endlessFor, &fleet});
    MHD_Response* response = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, chunkBytes,
                                                               &produce, body.get(), &finished);
    if (!response)
        return MHD_NO;
    body.release(); // the response's now: finished() frees it
    return queueResponse(connection, answer, response);
}

MHD_Result queueResponse(MHD_Connection* connection, const HttpAnswer& answer,
                         MHD_Response* response)
{
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.contentType.c_str());
    for (const auto& [name, value] : answer.headers)
        MHD_add_response_header(response, name.c_str(), value.c_str());
    const MHD_Result queued = MHD_queue_response(connection, answer.status, response);
    MHD_destroy_response(response);
    return queued;
}

} // namespace tavolix::onvifsim

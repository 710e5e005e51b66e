#pragma once

#include "SimFleet.h"

#include <microhttpd.h>

namespace tavolix::onvifsim {

// The most an endless answer sends before it ends after all.
inline constexpr uint64_t endlessAnswerCap = 64ULL * 1024 * 1024;

// Queues a response made for the answer with the answer's status, content type and
// headers; the response is let go either way.
MHD_Result queueResponse(MHD_Connection* connection, const HttpAnswer& answer,
                         MHD_Response* response);

// Queues the answer's body followed by blanks, in chunks, until the client hangs up or the cap
// is reached, as firmware with a runaway writer sends; once it is done the transcript gets
// `oversized MAC BYTES`.
MHD_Result queueEndlessAnswer(MHD_Connection* connection, const HttpAnswer& answer,
                              SimFleet& fleet);

} // namespace tavolix::onvifsim

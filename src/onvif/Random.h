#pragma once

#include "Result.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tavolix::onvif {

using Nonce = std::array<uint8_t, 16>;

// Sixteen bytes from OpenSSL's generator; a failure when it has none to give (it cannot be
// seeded), as a guessable nonce or message id is worse than none.
Result<Nonce> randomNonce();

// "uuid:" and a random (version 4) UUID in lower-case hex, as WS-Addressing message ids are.
Result<std::string> randomMessageId();

} // namespace tavolix::onvif

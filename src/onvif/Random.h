#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tavolix::onvif {

using Nonce = std::array<uint8_t, 16>;

// Sixteen bytes from OpenSSL's generator; throws std::runtime_error when it has none to give
// (it cannot be seeded), as a guessable nonce or message id is worse than none.
Nonce randomNonce();

// "uuid:" and a random (version 4) UUID in lower-case hex, as WS-Addressing message ids are.
std::string randomMessageId();

} // namespace tavolix::onvif

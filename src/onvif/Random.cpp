#include "Random.h"

#include <cstdio>
#include <openssl/rand.h>

namespace tavolix::onvif {

Result<Nonce> randomNonce()
{
    Nonce nonce{};
    if (RAND_bytes(nonce.data(), static_cast<int>(nonce.size())) != 1)
        return systemFailure("no random bytes from OpenSSL");
    return nonce;
}

Result<std::string> randomMessageId()
{
    auto random = randomNonce();
    if (!random)
        return random.failure();
    Nonce& bytes = *random;
    bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40); // version 4
    bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80); // RFC 4122 variant
    std::string text = "uuid:";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text += '-';
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", unsigned{bytes[i]});
        text += pair;
    }
    return text;
}

} // namespace tavolix::onvif

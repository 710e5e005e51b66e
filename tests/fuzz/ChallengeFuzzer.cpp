#include "DeviceLogin.h"
#include "HttpChallenge.h"

#include <cstdlib>
#include <string>

// The challenge parser over any header value, within its bounds; the same
// bytes as the Authorization libcurl sent, and as several header values.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tavolix::onvif;
    const std::string value(reinterpret_cast<const char*>(data), size);
    if (const auto challenges = parseChallenges(value)) {
        if (size > maxChallengeBytes || challenges->size() > maxChallenges)
            std::abort();
        for (const HttpChallenge& challenge : *challenges) {
            if (challenge.usableDigest() && (challenge.nonce.empty() || !challenge.algorithm))
                std::abort();
        }
    }
    digestSent(value);
    const std::size_t half = size / 2;
    offersUsableDigest({value.substr(0, half), value.substr(half)});
    return 0;
}

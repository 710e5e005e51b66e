#include "DeviceLogin.h"
#include "HttpChallenge.h"

#include <cstdlib>
#include <string>

// The challenge parser over any header value, within its bounds; the same bytes as the
// Authorization libcurl sent, and cut in two as two header values.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tavolix::onvif;
    const std::string value(reinterpret_cast<const char*>(data), size);
    if (const auto challenges = parseChallenges(value);
        challenges && (size > maxChallengeBytes || challenges->size() > maxChallenges))
        std::abort();
    digestSent(value);
    offersUsableDigest({value.substr(0, size / 2), value.substr(size / 2)});
    return 0;
}

#pragma once

#include "Result.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavolix::onvif {

enum class DigestAlgorithm : uint8_t
{
    Md5,
    Md5Sess,
    Sha256,
    Sha256Sess,
};

// One challenge of a WWW-Authenticate header, or the credentials of an
// Authorization header (the same grammar): its scheme and the parameters
// HTTP Digest uses.
struct HttpChallenge
{
    std::string scheme; // lower case: "digest", "basic", ...
    std::string realm;
    std::string nonce;
    // Nothing when the one named is not known; MD5 when none is named.
    std::optional<DigestAlgorithm> algorithm = DigestAlgorithm::Md5;
    std::vector<std::string> qop; // lower case, in the order given
    bool stale = false;

    // A Digest challenge that can be answered: a nonce, a known algorithm,
    // and "auth" among its qop values when it names any.
    bool usableDigest() const;
};

inline constexpr std::size_t maxChallengeBytes = 4096;
inline constexpr std::size_t maxChallenges = 16;
inline constexpr std::size_t maxChallengeParameters = 32;

// The challenges of one header value, in order; refused when malformed or
// over the bounds above.
Result<std::vector<HttpChallenge>> parseChallenges(std::string_view value);

// Whether any of several header values offers a usable Digest challenge;
// a malformed value offers none.
bool offersUsableDigest(const std::vector<std::string>& values);

} // namespace tavolix::onvif

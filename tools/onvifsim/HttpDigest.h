#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tavolix::onvifsim {

enum class DigestAlgorithm
{
    Sha256,
    Md5,
};

const char* digestAlgorithmName(DigestAlgorithm algorithm); // "SHA-256", "MD5"

// Lower-case hex of the algorithm's hash of text.
std::string digestHex(DigestAlgorithm algorithm, std::string_view text);

enum class DigestVerdict
{
    Accepted,
    Missing,       // no Digest Authorization
    Malformed,     // a parameter missing or unreadable, or qop other than auth
    NotOffered,    // an algorithm the device did not offer
    WrongUser,     // another user name or realm
    WrongUri,      // uri is not the request's path
    UnknownNonce,  // a nonce the device never gave
    Stale,         // the nonce has served its requests
    WrongPassword, // the response does not match
};

const char* digestVerdictText(DigestVerdict verdict);

struct DigestCheck
{
    DigestVerdict verdict = DigestVerdict::Missing;
    DigestAlgorithm algorithm = DigestAlgorithm::Md5;
};

// HTTP Digest with qop="auth" as a device checks it: nonces it handed out,
// each good for a number of requests, for the algorithms it offers (in the
// order it offers them).
class DigestGate final
{
public:
    DigestGate(std::vector<DigestAlgorithm> offered, int staleAfter);
    DigestGate(const DigestGate&) = delete;
    DigestGate& operator=(const DigestGate&) = delete;

    DigestCheck check(std::string_view authorization, std::string_view method,
                      std::string_view path, std::string_view user, std::string_view password);
    // One challenge per algorithm offered, all with one new nonce; stale says
    // the client's nonce ran out, not its password.
    std::vector<std::string> challenges(bool stale);

    static constexpr std::string_view realm = "onvifsim";

private:
    std::vector<DigestAlgorithm> m_offered;
    int m_staleAfter;
    std::string m_opaque;
    std::map<std::string, int, std::less<>> m_uses; // nonce -> requests served
    std::deque<std::string> m_issued;               // oldest first, to bound m_uses
};

} // namespace tavolix::onvifsim

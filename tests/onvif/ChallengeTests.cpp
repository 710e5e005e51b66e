#include "DeviceLogin.h"
#include "HttpChallenge.h"

#include <gtest/gtest.h>

namespace tavolix::onvif {
namespace {

// A header's challenges as the rows write them: scheme, realm, nonce,
// algorithm (0 MD5 .. 3 SHA-256-sess, ? unknown), qop values, stale, usable.
std::string described(const std::string& header)
{
    const auto parsed = parseChallenges(header);
    std::string text = parsed ? "" : "refused";
    for (const HttpChallenge& c : parsed ? *parsed : std::vector<HttpChallenge>{}) {
        text += "[" + c.scheme + " " + c.realm + " " + c.nonce + " " +
                (c.algorithm ? std::to_string(static_cast<int>(*c.algorithm)) : "?");
        for (const std::string& qop : c.qop)
            text += " " + qop;
        text += std::string(c.stale ? " stale" : "") + (c.usableDigest() ? " usable]" : "]");
    }
    return text;
}

TEST(HttpChallenge, ParsesEveryChallengeOfAHeaderAndRefusesWhatIsMalformed)
{
    const std::vector<std::pair<std::string, std::string>> rows = {
        {R"(Digest realm="cam", nonce="abc", qop="auth,auth-int", algorithm=SHA-256)",
         "[digest cam abc 2 auth auth-int usable]"},
        // Two challenges in one value; tokens whatever their case.
        {R"(DIGEST Realm="a", NONCE=n1, Algorithm=md5-SESS, Basic realm="b")",
         "[digest a n1 1 usable][basic b  0]"},
        {R"(Digest realm="a, \"b\"", nonce="x,y", stale=TRUE)",
         R"([digest a, "b" x,y 0 stale usable])"},
        {R"(Digest realm="a", nonce="n", algorithm=SHA-512)", "[digest a n ?]"},
        {R"(Digest realm="a", qop="auth")", "[digest a  0 auth]"}, // no nonce
        {R"(Digest nonce="n", qop="auth-int")", "[digest  n 0 auth-int]"},
        {R"(Negotiate a/b+c==, Digest nonce="n")", "[negotiate   0][digest  n 0 usable]"},
        {" , ,", ""},
        {R"(realm="a")", "refused"},                  // a parameter before any scheme
        {R"(Digest realm="a)", "refused"},            // a quote never closed
        {R"(Digest realm="a" nonce="n")", "refused"}, // no comma between parameters
        {R"(Digest nonce="n", realm=)", "refused"},
        {"Digest realm=\"" + std::string(maxChallengeBytes, 'a') + "\"", "refused"},
    };
    for (const auto& [header, challenges] : rows)
        EXPECT_EQ(described(header), challenges) << header;
    std::string many;
    for (std::size_t i = 0; i <= maxChallenges; ++i)
        many += "Basic, ";
    EXPECT_EQ(described(many), "refused");
    EXPECT_TRUE(offersUsableDigest({"Digest realm=\"a", R"(Basic, Digest nonce="n")"}));
    EXPECT_FALSE(offersUsableDigest({R"(Basic realm="a")", R"(Digest nonce="n", algorithm=X)"}));

    // What libcurl answered with, named from the Authorization it sent.
    const std::vector<std::pair<std::string, std::optional<LoginScheme>>> sent = {
        {R"(Digest username="a", nonce="n", algorithm=SHA-256)", LoginScheme::DigestSha256},
        {R"(Digest username="a", algorithm="SHA-256-sess")", LoginScheme::DigestSha256},
        {R"(Digest username="a", nonce="n", response="r")", LoginScheme::DigestMd5},
        {R"(Digest username="a", algorithm=SHA-512-256)", LoginScheme::Unknown},
        {"Basic YWRtaW46c2VjcmV0", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [authorization, scheme] : sent)
        EXPECT_EQ(digestSent(authorization), scheme) << authorization;
}

} // namespace
} // namespace tavolix::onvif

#include "DeviceLogin.h"
#include "HttpChallenge.h"

#include <gtest/gtest.h>

namespace tavolix::onvif {
namespace {

// A challenge as the rows write it: scheme, realm, nonce, algorithm ("?"
// unknown), qop values, "stale" and "usable" where they hold.
std::string described(const HttpChallenge& c)
{
    static const char* const names[] = {"MD5", "MD5-sess", "SHA-256", "SHA-256-sess"};
    std::string text = c.scheme + " " + c.realm + " " + c.nonce + " " +
                       (c.algorithm ? names[static_cast<int>(*c.algorithm)] : "?");
    for (const std::string& qop : c.qop)
        text += " " + qop;
    return text + (c.stale ? " stale" : "") + (c.usableDigest() ? " usable" : "");
}

TEST(HttpChallenge, ParsesEveryChallengeOfAHeaderAndRefusesWhatIsMalformed)
{
    struct Row
    {
        std::string header;
        std::vector<std::string> challenges; // empty with a failure
        bool fails = false;
    };
    const std::vector<Row> rows = {
        {R"(Digest realm="cam", nonce="abc", qop="auth,auth-int", algorithm=SHA-256)",
         {"digest cam abc SHA-256 auth auth-int usable"}},
        // Two challenges in one value; tokens without regard to case.
        {R"(DIGEST Realm="a", NONCE=n1, Algorithm=md5-SESS, Basic realm="b")",
         {"digest a n1 MD5-sess usable", "basic b  MD5"}},
        // Commas and escaped quotes inside quoted strings.
        {R"(Digest realm="a, \"b\"", nonce="x,y", stale=TRUE)",
         {R"(digest a, "b" x,y MD5 stale usable)"}},
        {R"(Digest realm="a", nonce="n", algorithm=SHA-512)", {"digest a n ?"}},
        {R"(Digest realm="a", qop="auth")", {"digest a  MD5 auth"}}, // no nonce
        {R"(Digest realm="a", nonce="n", qop="auth-int")", {"digest a n MD5 auth-int"}},
        {R"(Negotiate a/b+c==, Digest nonce="n")", {"negotiate   MD5", "digest  n MD5 usable"}},
        {" , ,", {}},
        {R"(realm="a")", {}, true},                  // a parameter before any scheme
        {R"(Digest realm="a)", {}, true},            // a quote never closed
        {R"(Digest realm="a" nonce="n")", {}, true}, // no comma between parameters
        {R"(Digest nonce="n", realm=)", {}, true},
        {"Digest realm=\"" + std::string(maxChallengeBytes, 'a') + "\"", {}, true},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto parsed = parseChallenges(rows[i].header);
        ASSERT_EQ(!parsed, rows[i].fails) << "row " << i;
        if (!parsed)
            continue;
        std::vector<std::string> seen;
        for (const HttpChallenge& challenge : *parsed)
            seen.push_back(described(challenge));
        EXPECT_EQ(seen, rows[i].challenges) << "row " << i;
    }
    std::string many;
    for (std::size_t i = 0; i <= maxChallenges; ++i)
        many += "Basic, ";
    EXPECT_FALSE(parseChallenges(many));
    EXPECT_TRUE(offersUsableDigest({"Digest realm=\"a", R"(Basic, Digest nonce="n")"}));
    EXPECT_FALSE(offersUsableDigest({R"(Basic realm="a")", R"(Digest nonce="n", algorithm=X)"}));
}

TEST(HttpChallenge, NamesTheDigestLibcurlAnsweredWith)
{
    const std::vector<std::pair<std::string, std::optional<LoginScheme>>> rows = {
        {R"(Digest username="admin", nonce="n", algorithm=SHA-256, response="r")",
         LoginScheme::DigestSha256},
        {R"(Digest username="admin", nonce="n", algorithm="SHA-256-sess")",
         LoginScheme::DigestSha256},
        {R"(Digest username="admin", nonce="n", response="r")", LoginScheme::DigestMd5},
        {R"(Digest username="admin", algorithm=SHA-512-256)", LoginScheme::Unknown},
        {"Basic YWRtaW46c2VjcmV0", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [authorization, scheme] : rows)
        EXPECT_EQ(digestSent(authorization), scheme) << authorization;
}

} // namespace
} // namespace tavolix::onvif

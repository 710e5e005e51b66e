#include "SoapNames.h"
#include "UsernameToken.h"

#include <gtest/gtest.h>
#include <tuple>

namespace tavolix::onvifsim {
namespace {

// Computed apart from this code: Base64(SHA-1(bytes 0..15 + created + "s3cret")).
constexpr const char* nonce = "AAECAwQFBgcICQoLDA0ODw==";
constexpr const char* created = "2026-12-07T20:00:00Z";
constexpr const char* digest = "wu4WI9wOIpXTxxijKPLG7fAc9Wc=";
constexpr const char* digestType =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-username-token-profile-1.0"
    "#PasswordDigest";

std::string header(const std::string& user, const std::string& password, const std::string& type,
                   const std::string& when)
{
    return "<e:Header xmlns:e='" + std::string(ns::soap12) + "'><x:Security xmlns:x='" +
           std::string(ns::wsse) + "' xmlns:y='" + std::string(ns::wsu) +
           "'><x:UsernameToken><x:Username>" + user + "</x:Username><x:Password Type='" + type +
           "'>" + password + "</x:Password><x:Nonce>" + nonce + "</x:Nonce><y:Created>" + when +
           "</y:Created></x:UsernameToken></x:Security></e:Header>";
}

TEST(OnvifSimLogin, DigestAndClockDecideTheLogin)
{
    const DeviceTime deviceNow = *parseDateTime(created);
    const std::string signedIn = header("admin", digest, digestType, created);
    using std::chrono::seconds;
    using enum LoginCheck;
    const std::tuple<std::string, DeviceTime, LoginCheck> rows[] = {
        {signedIn, deviceNow, Accepted},
        // The device's clock may be up to five minutes either side.
        {signedIn, deviceNow + seconds(299), Accepted},
        {signedIn, deviceNow - seconds(299), Accepted},
        {signedIn, deviceNow + seconds(301), StaleClock},
        {signedIn, deviceNow - seconds(301), StaleClock},
        // Created is inside the digest: another text for the same instant is a wrong digest.
        {header("admin", digest, digestType, "2026-12-07T20:00:00.000Z"), deviceNow, BadDigest},
        {header("admin", "AAAA" + std::string(digest + 4), digestType, created), deviceNow,
         BadDigest},
        {header("root", digest, digestType, created), deviceNow, WrongUser},
        {header("admin", "s3cret", std::string(digestType, 82) + "#PasswordText", created),
         deviceNow, NotDigest},
        {"<e:Header xmlns:e='" + std::string(ns::soap12) + "'/>", deviceNow, Missing},
    };
    for (const auto& [text, now, expected] : rows) {
        pugi::xml_document document;
        ASSERT_TRUE(document.load_string(text.c_str()));
        EXPECT_EQ(checkUsernameToken(document.first_child(), "admin", "s3cret", now), expected)
            << text;
    }
    // Remembering nonces, a token is good once.
    SeenNonces seen;
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(signedIn.c_str()));
    for (const LoginCheck expected : {Accepted, Replayed})
        EXPECT_EQ(checkUsernameToken(document.first_child(), "admin", "s3cret", deviceNow, &seen),
                  expected);
}

TEST(OnvifSimLogin, DateTimesAndBase64)
{
    EXPECT_EQ(parseDateTime("2026-12-07T21:30:00+01:30"), parseDateTime("2026-12-07T20:00:00Z"));
    EXPECT_EQ(parseDateTime("2026-12-07T19:00:00.5-01:00"), parseDateTime("2026-12-07T20:00:00Z"));
    for (const char* bad : {"2026-12-07 20:00:00Z", "2026-02-30T20:00:00Z", "2026-12-07T20:00:00",
                            "2026-12-07T24:00:00Z", "2026-12-07T20:00:00+1:00"})
        EXPECT_FALSE(parseDateTime(bad)) << bad;
    const std::vector<uint8_t> bytes = {0xfb, 0xff, 0x00, 0x41};
    EXPECT_EQ(base64Encode(bytes), "+/8AQQ==");
    EXPECT_EQ(base64Decode("+/8A\nQQ=="), bytes);
    EXPECT_FALSE(base64Decode("+/8AQQ="));
    EXPECT_FALSE(base64Decode("+/8A*Q=="));
}

} // namespace
} // namespace tavolix::onvifsim

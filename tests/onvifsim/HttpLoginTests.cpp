#include "HttpDigest.h"
#include "SimFleet.h"
#include "SoapRequest.h"

#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <openssl/evp.h>

namespace tavolix::onvifsim {
namespace {

constexpr Ipv4 camera = 0xC6120014; // 198.18.0.20
constexpr const char* path = "/onvif/device_service";

// A client's Digest, written apart from the simulator's.
std::string hex(bool md5, const std::string& text)
{
    std::array<unsigned char, EVP_MAX_MD_SIZE> hash{};
    unsigned length = 0;
    EVP_Digest(text.data(), text.size(), hash.data(), &length, md5 ? EVP_md5() : EVP_sha256(),
               nullptr);
    std::string out(2 * length, '0');
    for (unsigned i = 0; i < length; ++i)
        std::snprintf(&out[2 * i], 3, "%02x", hash[i]);
    return out;
}

struct ClientDigest
{
    std::string algorithm = "MD5", user = "admin", realm = "onvifsim", password = "admin",
                method = "POST", uri = path, nonce, nc = "00000001", cnonce = "0a4f113b";

    std::string response() const
    {
        const bool md5 = algorithm == "MD5";
        return hex(md5, hex(md5, user + ":" + realm + ":" + password) + ":" + nonce + ":" + nc +
                            ":" + cnonce + ":auth:" + hex(md5, method + ":" + uri));
    }
    std::string header() const
    {
        return "Digest username=\"" + user + "\", realm=\"" + realm + "\", nonce=\"" + nonce +
               "\", uri=\"" + uri + "\", algorithm=" + algorithm + ", qop=auth, nc=" + nc +
               ", cnonce=\"" + cnonce + "\", response=\"" + response() + "\"";
    }
};

std::string nonceOf(const std::string& challenge)
{
    const auto at = challenge.find("nonce=\"") + 7;
    return challenge.substr(at, challenge.find('"', at) - at);
}

std::vector<std::string> challengesOf(const HttpAnswer& answer)
{
    std::vector<std::string> challenges;
    for (const auto& [name, value] : answer.headers) {
        if (name == "WWW-Authenticate")
            challenges.push_back(value);
    }
    return challenges;
}

TEST(OnvifSimDigest, VerdictsOfTheDevice)
{
    DigestGate gate({DigestAlgorithm::Md5}, 2);
    const std::string challenge = gate.challenges(false).at(0);
    EXPECT_TRUE(challenge.starts_with("Digest realm=\"onvifsim\", qop=\"auth\", nonce=\""));
    EXPECT_TRUE(challenge.ends_with("\", algorithm=MD5"));
    const ClientDigest right{.nonce = nonceOf(challenge)};
    using Change = std::function<void(ClientDigest&)>;
    // Refusals spend nothing of the nonce; the last two rows spend it.
    const std::pair<Change, DigestVerdict> rows[] = {
        {[](ClientDigest& c) { c.password = "wrong"; }, DigestVerdict::WrongPassword},
        {[](ClientDigest& c) { c.method = "GET"; }, DigestVerdict::WrongPassword},
        {[](ClientDigest& c) { c.uri = "/onvif/media"; }, DigestVerdict::WrongUri},
        {[](ClientDigest& c) { c.algorithm = "SHA-256"; }, DigestVerdict::NotOffered},
        {[](ClientDigest& c) { c.nonce = "00112233"; }, DigestVerdict::UnknownNonce},
        {[](ClientDigest& c) { c.user = "root"; }, DigestVerdict::WrongUser},
        {[](ClientDigest& c) { c.cnonce.clear(); }, DigestVerdict::Malformed},
        {[](ClientDigest&) {}, DigestVerdict::Accepted},
        {[](ClientDigest& c) { c.nc = "00000002"; }, DigestVerdict::Accepted},
        {[](ClientDigest& c) { c.nc = "00000003"; }, DigestVerdict::Stale},
    };
    const auto verdictOf = [&](const std::string& header) {
        return gate.check(header, "POST", path, "admin", "admin").verdict;
    };
    for (const auto& [change, verdict] : rows) {
        ClientDigest client = right;
        change(client);
        EXPECT_EQ(verdictOf(client.header()), verdict) << client.header();
    }
    for (const char* header : {"Basic YWRtaW46YWRtaW4=", "digest nonce=\"unterminated"})
        EXPECT_EQ(verdictOf(header), DigestVerdict::Missing) << header;
    EXPECT_TRUE(gate.challenges(true)[0].ends_with(", algorithm=MD5, stale=true"));
}

// What each --auth mode answers (no login, token, MD5, SHA-256; a read, the clock) and offers.
TEST(OnvifSimDigest, TheModeDecidesWhichRequestsAreAnswered)
{
    const std::string created = "2026-12-07T20:00:00Z";
    const std::string token = test::tokenHeader("admin", created);
    const auto envelope = [](const std::string& header, const std::string& call) {
        return test::envelope(header, "<tds:" + call + "/>");
    };
    // mode, style, --clock-needs-login, the HTTP status of GetDeviceInformation with nothing,
    // a token, MD5, SHA-256, then of GetSystemDateAndTime with nothing; the challenges' algorithms
    using enum AuthMode;
    using enum ChallengeStyle;
    const std::tuple<AuthMode, ChallengeStyle, bool, std::array<unsigned, 5>, std::string> rows[] =
        {
            // clang-format off
        {Wsse,         Separate, false, {400, 200, 400, 400, 200}, ""},
        {Wsse,         Separate, true,  {400, 200, 400, 400, 400}, ""},
        {DigestMd5,    Separate, false, {401, 401, 200, 401, 200}, "MD5|"},
        {DigestSha256, Separate, true,  {401, 401, 401, 200, 401}, "SHA-256|"},
        {Either,       Separate, false, {401, 200, 200, 200, 200}, "SHA-256|MD5|"},
        {Either,       Joined,   false, {401, 200, 200, 200, 200}, "SHA-256,MD5|"},
        {None,         Separate, true,  {200, 200, 200, 200, 200}, ""},
            // clang-format on
        };
    for (const auto& [mode, style, clockNeedsLogin, statuses, offered] : rows) {
        SCOPED_TRACE(static_cast<int>(mode));
        OnvifSimOptions options;
        options.auth = mode;
        options.challengeStyle = style;
        options.clockNeedsLogin = clockNeedsLogin;
        SimFleet fleet(
            options, [](auto&&...) { return true; }, [](const std::string&) {},
            [&] { return *parseDateTime(created); });
        const auto serve = [&](const std::string& login, const char* call) {
            HttpAnswer answer = fleet.serve(camera, 80, "POST", path,
                                            envelope(login == "token" ? token : "", call));
            const std::vector<std::string> challenges = challengesOf(answer);
            if (login.empty() || login == "token" || challenges.empty())
                return answer;
            const ClientDigest digest{.algorithm = login, .nonce = nonceOf(challenges[0])};
            return fleet.serve(camera, 80, "POST", path, envelope("", call), digest.header());
        };
        std::array<unsigned, 5> seen{};
        for (std::size_t i = 0; const char* login : {"", "token", "MD5", "SHA-256"})
            seen[i++] = serve(login, "GetDeviceInformation").status;
        seen[4] = serve("", "GetSystemDateAndTime").status;
        EXPECT_EQ(seen, statuses);
        std::string algorithms;
        for (const std::string& challenge : challengesOf(serve("", "GetDeviceInformation"))) {
            for (auto at = challenge.find("algorithm="); at != std::string::npos;
                 at = challenge.find("algorithm=", at + 1))
                algorithms += (algorithms.empty() || algorithms.ends_with('|') ? "" : ",") +
                              challenge.substr(at + 10, challenge.find(',', at) - at - 10);
            algorithms += "|";
        }
        EXPECT_EQ(algorithms, offered);
    }
}

} // namespace
} // namespace tavolix::onvifsim

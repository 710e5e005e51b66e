#include "HttpDigest.h"
#include "SelfSignedCertificate.h"
#include "SimFleet.h"
#include "SoapNames.h"

#include <array>
#include <gtest/gtest.h>
#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

namespace tavolix::onvifsim {
namespace {

constexpr Ipv4 camera = 0xC6120014; // 198.18.0.20
constexpr const char* path = "/onvif/device_service";

// A client's Digest response, written here apart from the simulator's and
// checked against the examples of RFC 7616 below.
std::string hex(const EVP_MD* md, const std::string& text)
{
    std::array<unsigned char, EVP_MAX_MD_SIZE> hash{};
    unsigned length = 0;
    EVP_Digest(text.data(), text.size(), hash.data(), &length, md, nullptr);
    std::string out;
    char pair[3];
    for (unsigned i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", hash[i]);
        out += pair;
    }
    return out;
}

struct ClientDigest
{
    const char* algorithm = "MD5";
    std::string user = "admin", realm = "onvifsim", password = "admin", method = "POST", uri = path,
                nonce, nc = "00000001", cnonce = "0a4f113b";

    std::string response() const
    {
        const EVP_MD* md = std::string(algorithm) == "MD5" ? EVP_md5() : EVP_sha256();
        return hex(md, hex(md, user + ":" + realm + ":" + password) + ":" + nonce + ":" + nc + ":" +
                           cnonce + ":auth:" + hex(md, method + ":" + uri));
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

TEST(OnvifSimDigest, TheClientSideAgreesWithRfc7616)
{
    ClientDigest rfc{"MD5",
                     "Mufasa",
                     "http-auth@example.org",
                     "Circle of Life",
                     "GET",
                     "/dir/index.html",
                     "7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v",
                     "00000001",
                     "f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ"};
    EXPECT_EQ(rfc.response(), "8ca523f5e9506fed4657c9700eebdbec");
    rfc.algorithm = "SHA-256";
    EXPECT_EQ(rfc.response(), "753927fa0e85d155564e2e272a28d1802ca10daf4496794697cf8db5856cb6c1");
}

TEST(OnvifSimDigest, EachRowGetsItsVerdict)
{
    DigestGate gate({DigestAlgorithm::Md5}, 2);
    const std::vector<std::string> challenges = gate.challenges(false);
    ASSERT_EQ(challenges.size(), 1u);
    EXPECT_TRUE(challenges[0].starts_with("Digest realm=\"onvifsim\", qop=\"auth\", nonce=\""));
    EXPECT_TRUE(challenges[0].ends_with("\", algorithm=MD5"));
    EXPECT_NE(challenges[0].find(", opaque=\""), std::string::npos);
    const std::string nonce = nonceOf(challenges[0]);
    const auto check = [&](const ClientDigest& client, std::string_view method = "POST") {
        return gate.check(client.header(), method, path, "admin", "admin").verdict;
    };
    const ClientDigest right{.nonce = nonce};
    ClientDigest wrongPassword = right, wrongUri = right, sha256 = right, unknown = right,
                 wrongUser = right;
    wrongPassword.password = "wrong";
    wrongUri.uri = "/onvif/media_service";
    sha256.algorithm = "SHA-256";
    unknown.nonce = "00112233";
    wrongUser.user = "root";
    EXPECT_EQ(check(wrongPassword), DigestVerdict::WrongPassword);
    EXPECT_EQ(check(wrongUri), DigestVerdict::WrongUri);
    EXPECT_EQ(check(sha256), DigestVerdict::NotOffered);
    EXPECT_EQ(check(unknown), DigestVerdict::UnknownNonce);
    EXPECT_EQ(check(wrongUser), DigestVerdict::WrongUser);
    EXPECT_EQ(check(right, "GET"), DigestVerdict::WrongPassword); // the method is in the hash
    EXPECT_EQ(gate.check("Basic YWRtaW46YWRtaW4=", "POST", path, "admin", "admin").verdict,
              DigestVerdict::Missing);
    EXPECT_EQ(gate.check("Digest username=\"admin\", nonce=\"" + nonce + "\"", "POST", path,
                         "admin", "admin")
                  .verdict,
              DigestVerdict::Malformed);
    EXPECT_EQ(gate.check("digest username=\"adm", "POST", path, "admin", "admin").verdict,
              DigestVerdict::Missing);
    // Refusals spend nothing; two good requests spend the nonce.
    EXPECT_EQ(check(right), DigestVerdict::Accepted);
    ClientDigest next = right;
    next.nc = "00000002";
    EXPECT_EQ(check(next), DigestVerdict::Accepted);
    EXPECT_EQ(check(next), DigestVerdict::Stale);
    EXPECT_TRUE(gate.challenges(true)[0].ends_with(", algorithm=MD5, stale=true"));
}

// Which requests each --auth mode answers: no login, a UsernameToken, Digest
// MD5 or SHA-256, for a reading and for the clock.
TEST(OnvifSimDigest, TheModeDecidesWhichRequestsAreAnswered)
{
    const std::string created = "2026-12-07T20:00:00Z";
    const std::string tokenHeader =
        "<s:Header><Security xmlns='" + std::string(ns::wsse) +
        "'><UsernameToken><Username>admin</Username><Password Type='http://docs.oasis-open.org/"
        "wss/2004/01/oasis-200401-wss-username-token-profile-1.0#PasswordDigest'>" +
        passwordDigest(std::vector<uint8_t>{1, 2, 3, 4}, created, "admin") +
        "</Password><Nonce>AQIDBA==</Nonce><Created xmlns='" + std::string(ns::wsu) + "'>" +
        created + "</Created></UsernameToken></Security></s:Header>";
    const auto envelope = [](const std::string& header, const std::string& call) {
        return "<s:Envelope xmlns:s='http://www.w3.org/2003/05/soap-envelope'>" + header +
               "<s:Body><" + call +
               " xmlns='http://www.onvif.org/ver10/device/wsdl'/></s:Body>"
               "</s:Envelope>";
    };
    enum Login
    {
        Nothing,
        Token,
        Md5,
        Sha256
    };
    // mode, --clock-needs-login, the HTTP status for: nothing, a token, MD5, SHA-256 on
    // GetDeviceInformation, then nothing on GetSystemDateAndTime
    const std::tuple<AuthMode, bool, std::array<unsigned, 5>> rows[] = {
        {AuthMode::Wsse, false, {400, 200, 400, 400, 200}},
        {AuthMode::Wsse, true, {400, 200, 400, 400, 400}},
        {AuthMode::DigestMd5, false, {401, 401, 200, 401, 200}},
        {AuthMode::DigestSha256, true, {401, 401, 401, 200, 401}},
        {AuthMode::Either, false, {401, 200, 200, 200, 200}},
        {AuthMode::None, true, {200, 200, 200, 200, 200}},
    };
    for (const auto& [mode, clockNeedsLogin, statuses] : rows) {
        SCOPED_TRACE(static_cast<int>(mode));
        OnvifSimOptions options;
        options.auth = mode;
        options.clockNeedsLogin = clockNeedsLogin;
        std::vector<std::string> transcript;
        SimFleet fleet(
            options, [](auto&&...) { return true; },
            [&](const std::string& line) { transcript.push_back(line); },
            [&] { return *parseDateTime(created); });
        const auto serve = [&](Login login, const char* call) {
            const bool token = login == Token;
            HttpAnswer answer =
                fleet.serve(camera, 80, "POST", path, envelope(token ? tokenHeader : "", call));
            if (login == Md5 || login == Sha256) {
                std::string challenge;
                for (const auto& [name, value] : answer.headers) {
                    if (name == "WWW-Authenticate")
                        challenge = value;
                }
                if (challenge.empty())
                    return answer; // nothing asked: the client has no nonce to answer with
                const ClientDigest digest{.algorithm = login == Md5 ? "MD5" : "SHA-256",
                                          .nonce = nonceOf(challenge)};
                answer = fleet.serve(camera, 80, "POST", path, envelope("", call), digest.header());
            }
            return answer;
        };
        const std::array<unsigned, 5> seen = {serve(Nothing, "GetDeviceInformation").status,
                                              serve(Token, "GetDeviceInformation").status,
                                              serve(Md5, "GetDeviceInformation").status,
                                              serve(Sha256, "GetDeviceInformation").status,
                                              serve(Nothing, "GetSystemDateAndTime").status};
        EXPECT_EQ(seen, statuses);
    }
}

TEST(OnvifSimDigest, EitherOffersSha256FirstSeparateOrJoined)
{
    for (const ChallengeStyle style : {ChallengeStyle::Separate, ChallengeStyle::Joined}) {
        OnvifSimOptions options;
        options.auth = AuthMode::Either;
        options.challengeStyle = style;
        SimFleet fleet(
            options, [](auto&&...) { return true; }, [](const std::string&) {});
        std::vector<std::string> challenges;
        for (const auto& [name, value] : fleet.serve(camera, 80, "POST", path, "").headers) {
            if (name == "WWW-Authenticate")
                challenges.push_back(value);
        }
        const std::string sha = "algorithm=SHA-256", md5 = "algorithm=MD5";
        if (style == ChallengeStyle::Separate) {
            ASSERT_EQ(challenges.size(), 2u);
            EXPECT_NE(challenges[0].find(sha), std::string::npos);
            EXPECT_NE(challenges[1].find(md5), std::string::npos);
        } else {
            ASSERT_EQ(challenges.size(), 1u);
            EXPECT_LT(challenges[0].find(sha), challenges[0].find(", Digest realm="));
            EXPECT_GT(challenges[0].find(md5), challenges[0].find(", Digest realm="));
        }
    }
}

// The clock: Date on every answer, 8 hours east with --local-time-as-utc
// (which tokens are checked against too), and the XAddrs' host and scheme.
TEST(OnvifSimDigest, ClockAndXAddrsFollowTheOptions)
{
    OnvifSimOptions options;
    options.localTimeAsUtc = true;
    options.clockOffsetSeconds = 60;
    options.xaddrHost = "127.0.0.1";
    options.xaddrScheme = XAddrScheme::Both;
    options.httpsPort = 8443;
    SimFleet fleet(
        options, [](auto&&...) { return true; }, [](const std::string&) {},
        [] { return *parseDateTime("2026-12-07T20:00:00Z"); });
    const HttpAnswer missing = fleet.serve(camera, 80, "POST", "/nothing", "");
    ASSERT_FALSE(missing.headers.empty());
    EXPECT_EQ(missing.headers[0],
              (std::pair<std::string, std::string>{"Date", "Tue, 08 Dec 2026 04:01:00 GMT"}));
    const HttpAnswer clock = fleet.serve(
        camera, 8443, "POST", path,
        "<s:Envelope xmlns:s='http://www.w3.org/2003/05/soap-envelope'><s:Body>"
        "<GetSystemDateAndTime xmlns='http://www.onvif.org/ver10/device/wsdl'/></s:Body>"
        "</s:Envelope>");
    EXPECT_NE(clock.body.find("<tt:TZ>CST-8</tt:TZ></tt:TimeZone><tt:UTCDateTime><tt:Time>"
                              "<tt:Hour>4</tt:Hour><tt:Minute>1</tt:Minute>"),
              std::string::npos);
    EXPECT_EQ(deviceServiceAddresses(fleet.cameras()[0]),
              (std::vector<std::string>{"http://127.0.0.1/onvif/device_service",
                                        "https://127.0.0.1:8443/onvif/device_service"}));
    EXPECT_EQ(fleet.listeners(),
              (std::set<HttpListener>{{camera, 80, false}, {camera, 8443, true}}));
}

TEST(OnvifSimCertificate, NamesTheAddressesAndIsSignedByItsKey)
{
    const auto pem = makeSelfSignedCertificate({camera, camera + 1}, "cam.example");
    ASSERT_TRUE(pem);
    const std::unique_ptr<BIO, decltype(&BIO_free)> certificateBio(
        BIO_new_mem_buf(pem->certificate.data(), static_cast<int>(pem->certificate.size())),
        &BIO_free);
    const std::unique_ptr<BIO, decltype(&BIO_free)> keyBio(
        BIO_new_mem_buf(pem->key.data(), static_cast<int>(pem->key.size())), &BIO_free);
    const std::unique_ptr<X509, decltype(&X509_free)> certificate(
        PEM_read_bio_X509(certificateBio.get(), nullptr, nullptr, nullptr), &X509_free);
    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr), &EVP_PKEY_free);
    ASSERT_TRUE(certificate && key);
    EXPECT_EQ(X509_verify(certificate.get(), key.get()), 1);
    EXPECT_EQ(X509_check_private_key(certificate.get(), key.get()), 1);
    EXPECT_EQ(X509_check_ip_asc(certificate.get(), "198.18.0.21", 0), 1);
    EXPECT_EQ(X509_check_ip_asc(certificate.get(), "198.18.0.22", 0), 0);
    EXPECT_EQ(X509_check_host(certificate.get(), "cam.example", 0, 0, nullptr), 1);
    EXPECT_EQ(X509_cmp_current_time(X509_get0_notAfter(certificate.get())), 1);
}

} // namespace
} // namespace tavolix::onvifsim

#include "Security.h"

#include "Namespaces.h"
#include "Xml.h"

#include <algorithm>
#include <cstdio>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/sha.h>
#include <vector>

namespace tavolix::onvif {

namespace {

constexpr const char* digestType = "http://docs.oasis-open.org/wss/2004/01/"
                                   "oasis-200401-wss-username-token-profile-1.0#PasswordDigest";
constexpr const char* base64Encoding = "http://docs.oasis-open.org/wss/2004/01/"
                                       "oasis-200401-wss-soap-message-security-1.0#Base64Binary";

} // namespace

std::string base64(std::span<const uint8_t> bytes)
{
    // In pieces of whole 3-byte groups, as OpenSSL counts in int.
    constexpr std::size_t piece = 3 * 1024 * 1024;
    std::string text;
    std::vector<unsigned char> encoded(4 * ((std::min(piece, bytes.size()) + 2) / 3) + 1);
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        const std::size_t length = std::min(piece, bytes.size() - at);
        const int written =
            EVP_EncodeBlock(encoded.data(), bytes.data() + at, static_cast<int>(length));
        text.append(reinterpret_cast<const char*>(encoded.data()),
                    static_cast<std::size_t>(written));
    }
    return text;
}

std::string passwordDigest(std::span<const uint8_t> nonce, std::string_view created,
                           std::string_view password)
{
    // Reserved whole, so that no buffer with the password in it is left behind unwiped.
    std::vector<uint8_t> input;
    input.reserve(nonce.size() + created.size() + password.size());
    input.insert(input.end(), nonce.begin(), nonce.end());
    input.insert(input.end(), created.begin(), created.end());
    input.insert(input.end(), password.begin(), password.end());
    std::array<uint8_t, SHA_DIGEST_LENGTH> digest{};
    SHA1(input.data(), input.size(), digest.data());
    OPENSSL_cleanse(input.data(), input.size());
    return base64(digest);
}

std::string createdText(SystemClock::time_point time)
{
    using namespace std::chrono;
    const auto day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss clock{floor<seconds>(time - day)};
    char text[32];
    std::snprintf(
        text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02lldZ", int{date.year()},
        unsigned{date.month()}, unsigned{date.day()}, static_cast<int>(clock.hours().count()),
        static_cast<int>(clock.minutes().count()), static_cast<long long>(clock.seconds().count()));
    return text;
}

Result<TokenStamp> freshStamp(std::chrono::seconds clockOffset)
{
    const auto nonce = randomNonce();
    if (!nonce)
        return nonce.failure();
    return TokenStamp{*nonce, createdText(SystemClock::now() + clockOffset)};
}

void appendSecurityHeader(pugi::xml_node header, std::string_view username,
                          std::string_view password, const TokenStamp& stamp)
{
    auto security = header.append_child("wsse:Security");
    security.append_attribute("s:mustUnderstand").set_value("1");
    declareNamespace(security, "wsse", ns::secext);
    declareNamespace(security, "wsu", ns::utility);
    auto token = security.append_child("wsse:UsernameToken");
    appendTextElement(token, "wsse:Username", username);
    appendTextElement(token, "wsse:Password", passwordDigest(stamp.nonce, stamp.created, password));
    token.child("wsse:Password").append_attribute("Type").set_value(digestType);
    appendTextElement(token, "wsse:Nonce", base64(stamp.nonce));
    token.child("wsse:Nonce").append_attribute("EncodingType").set_value(base64Encoding);
    appendTextElement(token, "wsu:Created", stamp.created);
}

} // namespace tavolix::onvif

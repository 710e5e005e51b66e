// The digest and time checks are the simulator's own, not src/onvif's: a fault in the
// client must not be mirrored by the simulator it is tested against.
#include "UsernameToken.h"

#include "SoapNames.h"

#include <array>
#include <charconv>
#include <memory>
#include <openssl/evp.h>
#include <openssl/sha.h>
#include <pugixml.hpp>

namespace tavolix::onvifsim {
namespace {

constexpr auto allowedSkew = std::chrono::minutes(5);
constexpr std::string_view digestType =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-username-token-profile-1.0"
    "#PasswordDigest";

int readNumber(std::string_view text, std::size_t at, std::size_t digits)
{
    int value = -1;
    if (at + digits > text.size())
        return -1;
    const char* first = text.data() + at;
    const auto [end, error] = std::from_chars(first, first + digits, value);
    return error == std::errc{} && end == first + digits ? value : -1;
}

} // namespace

std::string base64Encode(std::span<const uint8_t> bytes)
{
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(),
                                        static_cast<int>(bytes.size()));
    text.resize(static_cast<std::size_t>(written));
    return text;
}

std::optional<std::vector<uint8_t>> base64Decode(std::string_view text)
{
    std::string compact;
    for (const char c : text) {
        if (c == ' ' || c == '\n' || c == '\r' || c == '\t')
            continue;
        compact += c;
    }
    if (compact.size() % 4 != 0)
        return std::nullopt;
    std::vector<uint8_t> bytes(compact.size() / 4 * 3);
    const int written =
        EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(compact.data()),
                        static_cast<int>(compact.size()));
    if (written < 0)
        return std::nullopt;
    // EVP_DecodeBlock counts the padding's zero bytes.
    std::size_t length = static_cast<std::size_t>(written);
    for (std::size_t i = compact.size(); i > 0 && compact[i - 1] == '=' && length > 0; --i)
        --length;
    bytes.resize(length);
    return bytes;
}

std::string passwordDigest(std::span<const uint8_t> nonce, std::string_view created,
                           std::string_view password)
{
    std::array<uint8_t, SHA_DIGEST_LENGTH> digest{};
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                          &EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha1(), nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), nonce.data(), nonce.size()) != 1 ||
        EVP_DigestUpdate(context.get(), created.data(), created.size()) != 1 ||
        EVP_DigestUpdate(context.get(), password.data(), password.size()) != 1 ||
        EVP_DigestFinal_ex(context.get(), digest.data(), nullptr) != 1)
        return {}; // matches no digest a client sends
    return base64Encode(digest);
}

std::optional<DeviceTime> parseDateTime(std::string_view text)
{
    // YYYY-MM-DDThh:mm:ss[.fraction](Z|+hh:mm|-hh:mm)
    const int year = readNumber(text, 0, 4), month = readNumber(text, 5, 2),
              day = readNumber(text, 8, 2), hour = readNumber(text, 11, 2),
              minute = readNumber(text, 14, 2), second = readNumber(text, 17, 2);
    if (text.size() < 20 || text[4] != '-' || text[7] != '-' ||
        (text[10] != 'T' && text[10] != 't') || text[13] != ':' || text[16] != ':' || year < 0 ||
        month < 1 || day < 1 || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 ||
        second > 60)
        return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year(year),
                                           std::chrono::month(static_cast<unsigned>(month)),
                                           std::chrono::day(static_cast<unsigned>(day))};
    if (!date.ok())
        return std::nullopt;
    std::size_t at = 19;
    if (text[at] == '.') {
        ++at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9')
            ++at;
    }
    std::chrono::minutes zone{0};
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        const int zoneHours = readNumber(text, at + 1, 2),
                  zoneMinutes = readNumber(text, at + 4, 2);
        if (zoneHours < 0 || zoneMinutes < 0 || text.size() != at + 6 || text[at + 3] != ':')
            return std::nullopt;
        zone = std::chrono::minutes(zoneHours * 60 + zoneMinutes) * (text[at] == '-' ? -1 : 1);
    } else if (at + 1 != text.size() || (text[at] != 'Z' && text[at] != 'z')) {
        return std::nullopt;
    }
    return std::chrono::sys_days(date) + std::chrono::hours(hour) + std::chrono::minutes(minute) +
           std::chrono::seconds(second) - zone;
}

const char* loginCheckText(LoginCheck check)
{
    switch (check) {
    case LoginCheck::Accepted:
        return "accepted";
    case LoginCheck::Missing:
        return "no-login";
    case LoginCheck::WrongUser:
        return "wrong-user";
    case LoginCheck::NotDigest:
        return "not-digest";
    case LoginCheck::BadDigest:
        return "bad-digest";
    case LoginCheck::StaleClock:
        return "stale-created";
    case LoginCheck::Replayed:
        return "replayed-nonce";
    }
    return "?";
}

bool SeenNonces::firstTime(const std::vector<uint8_t>& nonce)
{
    if (!m_seen.insert(nonce).second)
        return false;
    m_order.push_back(nonce);
    if (m_order.size() > remembered) {
        m_seen.erase(m_order.front());
        m_order.pop_front();
    }
    return true;
}

LoginCheck checkUsernameToken(const pugi::xml_node& header, std::string_view user,
                              std::string_view password, DeviceTime deviceNow, SeenNonces* seen)
{
    const pugi::xml_node token =
        child(child(header, ns::wsse, "Security"), ns::wsse, "UsernameToken");
    if (!token)
        return LoginCheck::Missing;
    const pugi::xml_node passwordNode = child(token, ns::wsse, "Password");
    if (user != trimmedText(child(token, ns::wsse, "Username")))
        return LoginCheck::WrongUser;
    if (trimmedText(passwordNode.attribute("Type")) != digestType)
        return LoginCheck::NotDigest;
    const std::string created = trimmedText(child(token, ns::wsu, "Created"));
    const auto nonce = base64Decode(trimmedText(child(token, ns::wsse, "Nonce")));
    if (!nonce || nonce->empty() ||
        passwordDigest(*nonce, created, password) != trimmedText(passwordNode))
        return LoginCheck::BadDigest;
    if (seen && !seen->firstTime(*nonce))
        return LoginCheck::Replayed;
    const auto createdTime = parseDateTime(created);
    if (!createdTime || *createdTime > deviceNow + allowedSkew ||
        *createdTime < deviceNow - allowedSkew)
        return LoginCheck::StaleClock;
    return LoginCheck::Accepted;
}

} // namespace tavolix::onvifsim

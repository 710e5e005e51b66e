#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pugi {
class xml_node;
}

namespace tavolix::onvifsim {

using DeviceTime = std::chrono::system_clock::time_point;

std::string base64Encode(std::span<const uint8_t> bytes);
// Strict: whitespace is skipped, anything else outside the alphabet refuses.
std::optional<std::vector<uint8_t>> base64Decode(std::string_view text);

// Base64(SHA-1(nonce + created + password)), as a UsernameToken carries it.
std::string passwordDigest(std::span<const uint8_t> nonce, std::string_view created,
                           std::string_view password);

// "2026-12-07T19:57:39Z" and its forms with fractions and offsets.
std::optional<DeviceTime> parseDateTime(std::string_view text);

enum class LoginCheck
{
    Accepted,
    Missing,    // no UsernameToken in the header
    WrongUser,  // another user name
    NotDigest,  // a plain-text password: the cameras take digests only
    BadDigest,  // nonce or digest wrong
    StaleClock, // Created more than five minutes from the device's clock
    Replayed,   // a nonce seen before: a token is good once
};

// The nonces of tokens whose digest was right, so that a repeated one is refused as a replay,
// as cameras do. The oldest are forgotten beyond a bound.
class SeenNonces final
{
public:
    // False when the nonce was seen before; otherwise it is remembered.
    bool firstTime(const std::vector<uint8_t>& nonce);

private:
    static constexpr std::size_t remembered = 65536;
    std::set<std::vector<uint8_t>> m_seen;
    std::deque<std::vector<uint8_t>> m_order;
};

const char* loginCheckText(LoginCheck check);

// Checks the WS-Security UsernameToken in the SOAP header, if any; with `seen`, a nonce is
// taken once.
LoginCheck checkUsernameToken(const pugi::xml_node& header, std::string_view user,
                              std::string_view password, DeviceTime deviceNow,
                              SeenNonces* seen = nullptr);

} // namespace tavolix::onvifsim

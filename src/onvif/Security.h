#pragma once

#include "Random.h"

#include <chrono>
#include <cstdint>
#include <pugixml.hpp>
#include <span>
#include <string>
#include <string_view>

namespace tavolix::onvif {

using SystemClock = std::chrono::system_clock;

// Base64 of bytes, without line breaks.
std::string base64(std::span<const uint8_t> bytes);

// The UsernameToken digest: Base64(SHA-1(nonce + created + password)).
std::string passwordDigest(std::span<const uint8_t> nonce, std::string_view created,
                           std::string_view password);

// A UTC time as the token's Created: "2010-09-16T07:50:45Z".
std::string createdText(SystemClock::time_point time);

// What makes one token: a nonce is never used twice.
struct TokenStamp
{
    Nonce nonce{};
    std::string created;
};

// A fresh nonce and the device's time now. A device checks Created against its own clock:
// ours plus the offset its GetSystemDateAndTime showed.
Result<TokenStamp> freshStamp(std::chrono::seconds clockOffset);

// Appends the wsse:Security header with the UsernameToken of this login to a SOAP header.
void appendSecurityHeader(pugi::xml_node header, std::string_view username,
                          std::string_view password, const TokenStamp& stamp);

} // namespace tavolix::onvif

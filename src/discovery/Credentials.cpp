#include "Credentials.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace tavolix {
namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The joined "account:password" text is held in a 128-byte area; longer
// input is cut there (the login fields hold at most 16 bytes each, so this
// never happens from the window).
constexpr std::size_t joinedCapacity = 127;

// A text byte as an unsigned 32-bit value, so the 24-bit groups below are
// shifted together without going through int.
uint32_t octet(char c)
{
    return static_cast<uint8_t>(c);
}

} // namespace

void base64Encode(std::string_view input, std::string& output)
{
    output.clear();
    output.reserve((input.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= input.size(); i += 3) {
        const uint32_t group =
            octet(input[i]) << 16 | octet(input[i + 1]) << 8 | octet(input[i + 2]);
        output += alphabet[group >> 18 & 0x3f];
        output += alphabet[group >> 12 & 0x3f];
        output += alphabet[group >> 6 & 0x3f];
        output += alphabet[group & 0x3f];
    }
    const std::size_t remaining = input.size() - i;
    if (remaining == 1) {
        const uint32_t group = octet(input[i]) << 16;
        output += alphabet[group >> 18 & 0x3f];
        output += alphabet[group >> 12 & 0x3f];
        output += "==";
    } else if (remaining == 2) {
        const uint32_t group = octet(input[i]) << 16 | octet(input[i + 1]) << 8;
        output += alphabet[group >> 18 & 0x3f];
        output += alphabet[group >> 12 & 0x3f];
        output += alphabet[group >> 6 & 0x3f];
        output += '=';
    }
}

std::string encodeCredentials(std::string_view account, std::string_view password)
{
    std::array<char, joinedCapacity> joined{};
    std::size_t length = 0;
    const auto append = [&](std::string_view part) {
        const std::size_t count = std::min(part.size(), joined.size() - length);
        part.copy(joined.data() + length, count);
        length += count;
    };
    append(account);
    append(":");
    append(password);

    std::string encoded;
    base64Encode({joined.data(), length}, encoded);
    ::explicit_bzero(joined.data(), joined.size()); // it held the password
    return encoded;
}

} // namespace tavolix

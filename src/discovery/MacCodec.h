#pragma once

#include "Datagram.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavolix {

using MacAddress = std::array<uint8_t, valueSize(Tag::Mac)>;

inline constexpr char hexDigits[] = "0123456789abcdef";

// The value of one hex digit, either case; -1 for any other character.
int hexDigitValue(char c);

// Six address bytes as twelve lower-case hex digits, "001a2b3c4d5e".
std::string macToText(const MacAddress& mac);

// Twelve hex digits, either case, to six bytes; nothing when the text is not
// exactly twelve hex digits.
std::optional<MacAddress> textToMac(std::string_view text);

} // namespace tavolix

#pragma once

#include <cstddef>
#include <string_view>

namespace tavolix {

// The longest prefix of text that has at most maxBytes bytes and does not end
// inside a UTF-8 sequence, so a cut text never carries half a character.
// Stray continuation bytes, and bytes that can never lead a character, are
// no character to keep whole; they stay.
std::string_view cutAtCharacterBoundary(std::string_view text, std::size_t maxBytes);

} // namespace tavolix

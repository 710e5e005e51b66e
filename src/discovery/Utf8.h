#pragma once

#include <cstddef>
#include <string_view>

namespace tavolix {

// The UTF-8 sequence at the start of a text, read strictly: no overlong
// forms, no surrogates, nothing above U+10FFFF.
struct Utf8Sequence
{
    std::size_t length = 0;     // bytes its lead byte announces; 0: no character starts here
    std::size_t wellFormed = 0; // how many of them the text holds well-formed, lead included
    char32_t codePoint = 0;     // the character, once the sequence is whole

    bool isWhole() const { return length != 0 && wellFormed == length; }
};

Utf8Sequence utf8SequenceAt(std::string_view text);

constexpr bool isUtf8ContinuationByte(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0u) == 0x80u;
}

} // namespace tavolix

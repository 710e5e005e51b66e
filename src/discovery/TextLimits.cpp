#include "TextLimits.h"

namespace tavolix {
namespace {

bool isContinuationByte(unsigned char byte)
{
    return (byte & 0xC0u) == 0x80u;
}

// Number of bytes of the sequence that a lead byte opens; 0 for bytes that
// cannot open a multi-byte sequence.
std::size_t sequenceLength(unsigned char byte)
{
    if ((byte & 0xE0u) == 0xC0u)
        return 2;
    if ((byte & 0xF0u) == 0xE0u)
        return 3;
    if ((byte & 0xF8u) == 0xF0u)
        return 4;
    return 0;
}

} // namespace

std::string_view cutAtCharacterBoundary(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes || !isContinuationByte(static_cast<unsigned char>(text[maxBytes])))
        return text.substr(0, maxBytes);
    // The byte after the limit continues a sequence: find where that sequence
    // starts and cut before it if it would run past the limit.
    for (std::size_t back = 1; back <= 3 && back <= maxBytes; ++back) {
        const auto byte = static_cast<unsigned char>(text[maxBytes - back]);
        if (isContinuationByte(byte))
            continue;
        return text.substr(0, sequenceLength(byte) > back ? maxBytes - back : maxBytes);
    }
    return text.substr(0, maxBytes);
}

} // namespace tavolix

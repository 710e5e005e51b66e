#include "Utf8.h"

namespace tavolix {

Utf8Sequence utf8SequenceAt(std::string_view text)
{
    Utf8Sequence sequence;
    if (text.empty())
        return sequence;
    const auto lead = static_cast<unsigned char>(text.front());
    char32_t value = 0;
    if (lead < 0x80) {
        sequence.length = 1;
        value = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        sequence.length = 2;
        value = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        sequence.length = 3;
        value = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        sequence.length = 4;
        value = lead & 0x07u;
    } else {
        return sequence; // a continuation byte, C0 and C1 (always overlong), F5 and above
    }
    sequence.wellFormed = 1;
    while (sequence.wellFormed < sequence.length && sequence.wellFormed < text.size()) {
        const auto byte = static_cast<unsigned char>(text[sequence.wellFormed]);
        // The second byte's range alone rules out the overlong forms, the
        // surrogates and what lies above U+10FFFF.
        unsigned char least = 0x80;
        unsigned char most = 0xBF;
        if (sequence.wellFormed == 1) {
            if (lead == 0xE0)
                least = 0xA0;
            else if (lead == 0xED)
                most = 0x9F;
            else if (lead == 0xF0)
                least = 0x90;
            else if (lead == 0xF4)
                most = 0x8F;
        }
        if (byte < least || byte > most)
            break;
        value = value << 6 | (byte & 0x3Fu);
        ++sequence.wellFormed;
    }
    if (sequence.isWhole())
        sequence.codePoint = value;
    return sequence;
}

} // namespace tavolix

#include "TextLimits.h"

#include "Utf8.h"

namespace tavolix {

std::string_view cutAtCharacterBoundary(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes || !isUtf8ContinuationByte(text[maxBytes]))
        return text.substr(0, maxBytes);
    // The byte after the limit continues a sequence: find where that sequence
    // starts and cut before it if its lead byte says it runs past the limit.
    for (std::size_t back = 1; back <= 3 && back <= maxBytes; ++back) {
        const std::size_t start = maxBytes - back;
        if (isUtf8ContinuationByte(text[start]))
            continue;
        return text.substr(0, utf8SequenceAt(text.substr(start)).length > back ? start : maxBytes);
    }
    return text.substr(0, maxBytes);
}

} // namespace tavolix

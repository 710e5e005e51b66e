#include "TextBuffer.h"

#include <cstring>

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

std::size_t utf8PrefixLength(const char* text, std::size_t limit)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    if (!isContinuationByte(bytes[limit]))
        return limit;
    // The byte after the limit continues a sequence: find where that sequence
    // starts and cut before it if it would run past the limit.
    for (std::size_t back = 1; back <= 3 && back <= limit; ++back) {
        const unsigned char byte = bytes[limit - back];
        if (isContinuationByte(byte))
            continue;
        const std::size_t length = sequenceLength(byte);
        return length > back ? limit - back : limit;
    }
    // Stray continuation bytes are no character to keep whole.
    return limit;
}

void TextBuffer::assign(const char* zeroTerminated)
{
    if (zeroTerminated == nullptr) {
        clear();
        return;
    }
    std::size_t length = strnlen(zeroTerminated, capacity);
    if (length > maxTextBytes)
        length = utf8PrefixLength(zeroTerminated, maxTextBytes);
    if (length >= capacity) // cannot happen after the cut; keeps the write in bounds regardless
        length = maxTextBytes;
    std::memcpy(m_bytes.data(), zeroTerminated, length);
    m_bytes[length] = '\0';
    m_length = length;
}

void TextBuffer::clear()
{
    m_bytes[0] = '\0';
    m_length = 0;
}

QString TextBuffer::toQString() const
{
    return QString::fromUtf8(m_bytes.data(), static_cast<qsizetype>(m_length));
}

} // namespace tavolix

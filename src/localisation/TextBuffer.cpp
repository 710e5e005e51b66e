#include "TextBuffer.h"

#include "TextLimits.h"

#include <cstring>

namespace tavolix {

void TextBuffer::assign(const char* zeroTerminated)
{
    if (zeroTerminated == nullptr) {
        clear();
        return;
    }
    const std::string_view kept =
        cutAtCharacterBoundary({zeroTerminated, strnlen(zeroTerminated, capacity)}, maxTextBytes);
    std::memcpy(m_bytes.data(), kept.data(), kept.size());
    m_bytes[kept.size()] = '\0';
    m_length = kept.size();
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

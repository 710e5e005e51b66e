#pragma once

// The fixed-size buffer through which every database text passes on its way to
// a control: 260 bytes, so a text keeps at most 259 bytes plus its zero.

#include <QString>
#include <array>
#include <cstddef>
#include <string_view>

namespace tavolix {

class TextBuffer final
{
public:
    static constexpr std::size_t capacity = 260;
    static constexpr std::size_t maxTextBytes = capacity - 1;

    // Copies a zero-terminated text, cut at a character boundary when it is
    // longer than maxTextBytes. A null text empties the buffer.
    void assign(const char* zeroTerminated);
    void clear();

    std::string_view view() const { return {m_bytes.data(), m_length}; }
    QString toQString() const;

private:
    std::array<char, capacity> m_bytes{};
    std::size_t m_length = 0;
};

} // namespace tavolix

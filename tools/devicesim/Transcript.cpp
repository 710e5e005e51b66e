#include "Transcript.h"

#include <cstdio>

namespace tavolix::devicesim {

std::string hexText(std::span<const uint8_t> bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const uint8_t byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0f];
    }
    return text;
}

void Transcript::datagram(std::string_view direction, const std::string& peer,
                          std::span<const uint8_t> bytes) const
{
    if (!m_datagramLines)
        return;
    std::string text(direction);
    text += ' ';
    text += peer;
    text += ' ';
    text += hexText(bytes);
    line(text);
}

void Transcript::line(std::string_view text) const
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace tavolix::devicesim

#include "TextEscape.h"

#include "MacCodec.h"

#include <cwchar>

namespace tavolix::cli {
namespace {

// Length of the well-formed UTF-8 sequence at the start of bytes and its code
// point; 0 when it is not one (overlong, surrogate, beyond U+10FFFF, cut).
std::size_t decodeSequence(std::string_view bytes, char32_t& codePoint)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t value = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1Fu;
        least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0Fu;
        least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07u;
        least = 0x10000;
    } else {
        return 0;
    }
    if (bytes.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (byte(i) & 0x3Fu);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    codePoint = value;
    return length;
}

bool mustEscape(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x200E || c == 0x200F ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

void appendHexEscape(std::string& out, unsigned char byte)
{
    out += "\\x";
    out += hexDigits[byte >> 4];
    out += hexDigits[byte & 0x0F];
}

} // namespace

std::string escapeDeviceText(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        char32_t codePoint = 0;
        const std::size_t length = decodeSequence(bytes, codePoint);
        if (length == 0) {
            appendHexEscape(out, static_cast<unsigned char>(bytes.front()));
            bytes.remove_prefix(1);
            continue;
        }
        if (codePoint == '\\')
            out += "\\\\";
        else if (mustEscape(codePoint))
            for (std::size_t i = 0; i < length; ++i)
                appendHexEscape(out, static_cast<unsigned char>(bytes[i]));
        else
            out.append(bytes.substr(0, length));
        bytes.remove_prefix(length);
    }
    return out;
}

std::optional<std::string> unescapeDeviceText(std::string_view text)
{
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\\') {
            bytes += '\\';
            ++i;
            continue;
        }
        if (i + 3 >= text.size())
            return std::nullopt;
        if (text[i + 1] != 'x' || hexDigitValue(text[i + 2]) < 0 || hexDigitValue(text[i + 3]) < 0)
            return std::nullopt;
        bytes += static_cast<char>(hexDigitValue(text[i + 2]) * 16 + hexDigitValue(text[i + 3]));
        i += 3;
    }
    return bytes;
}

std::size_t displayWidth(std::string_view text)
{
    std::size_t width = 0;
    while (!text.empty()) {
        char32_t codePoint = 0;
        std::size_t length = decodeSequence(text, codePoint);
        if (length == 0) {
            length = 1;
            codePoint = U'?';
        }
        // wcwidth knows the wide and the zero-width characters once the
        // program runs under a UTF-8 character type (main sets C.UTF-8).
        const int columns = ::wcwidth(static_cast<wchar_t>(codePoint));
        width += columns < 0 ? 1 : static_cast<std::size_t>(columns);
        text.remove_prefix(length);
    }
    return width;
}

} // namespace tavolix::cli

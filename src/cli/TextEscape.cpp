#include "TextEscape.h"

#include "MacCodec.h"
#include "Utf8.h"

#include <algorithm>
#include <cwchar>
#include <utility>
#include <vector>

namespace tavolix::cli {
namespace {

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

struct Character
{
    std::size_t bytes = 1;
    std::size_t columns = 1; // on a terminal
};

// The first character of a printable UTF-8 text; a stray byte counts as one.
Character leadingCharacter(std::string_view text)
{
    const Utf8Sequence sequence = utf8SequenceAt(text);
    if (!sequence.isWhole())
        return {};
    // wcwidth knows the wide and the zero-width characters once the
    // program runs under a UTF-8 character type (main sets C.UTF-8).
    const int columns = ::wcwidth(static_cast<wchar_t>(sequence.codePoint));
    return {sequence.length, columns < 0 ? 1 : static_cast<std::size_t>(columns)};
}

} // namespace

std::string escapeDeviceText(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        const Utf8Sequence sequence = utf8SequenceAt(bytes);
        if (!sequence.isWhole()) {
            appendHexEscape(out, static_cast<unsigned char>(bytes.front()));
            bytes.remove_prefix(1);
            continue;
        }
        if (sequence.codePoint == '\\')
            out += "\\\\";
        else if (mustEscape(sequence.codePoint))
            for (std::size_t i = 0; i < sequence.length; ++i)
                appendHexEscape(out, static_cast<unsigned char>(bytes[i]));
        else
            out.append(bytes.substr(0, sequence.length));
        bytes.remove_prefix(sequence.length);
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
    for (Character next; !text.empty(); text.remove_prefix(next.bytes)) {
        next = leadingCharacter(text);
        width += next.columns;
    }
    return width;
}

std::string cutToWidth(std::string_view text, std::size_t width)
{
    if (displayWidth(text) <= width)
        return std::string(text);
    if (width == 0)
        return {};
    // An escape ("\\", "\xHH") stays whole, as one character would.
    std::vector<std::pair<std::string_view, Character>> characters;
    for (Character next; !text.empty(); text.remove_prefix(next.bytes)) {
        const std::size_t escape = text.starts_with("\\\\") ? 2 : text.starts_with("\\x") ? 4 : 0;
        next = escape != 0 ? Character{std::min(escape, text.size()), std::min(escape, text.size())}
                           : leadingCharacter(text);
        characters.emplace_back(text.substr(0, next.bytes), next);
    }
    // The end of a name often tells a numbered series apart ("Gate-North-01",
    // "Gate-North-02"), so the middle goes: the end gets half of the columns
    // beside the mark, the start what the end leaves.
    std::size_t tail = characters.size();
    std::size_t tailColumns = 0;
    while (tail > 0 && tailColumns + characters[tail - 1].second.columns <= (width - 1) / 2)
        tailColumns += characters[--tail].second.columns;
    std::string cut;
    for (std::size_t i = 0, used = tailColumns + 1;
         i < tail && used + characters[i].second.columns <= width; ++i) {
        cut += characters[i].first;
        used += characters[i].second.columns;
    }
    cut += "\xE2\x80\xA6"; // "…", one column wide
    for (std::size_t i = tail; i < characters.size(); ++i)
        cut += characters[i].first;
    return cut;
}

} // namespace tavolix::cli

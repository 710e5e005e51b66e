#include "DeviceText.h"

#include "TextLimits.h"
#include "Utf8.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <iconv.h>

namespace tavolix {
namespace {

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD"; // U+FFFD

// The Windows flavours of the code pages, as glibc names them (CP932 keeps
// 0x5C a backslash, where plain Shift-JIS reads it as a yen sign).
const char* iconvName(LegacyCodePage page)
{
    switch (page) {
    case LegacyCodePage::Gb18030:
        return "GB18030";
    case LegacyCodePage::Big5:
        return "BIG5";
    case LegacyCodePage::ShiftJis:
        return "CP932";
    case LegacyCodePage::Windows1252:
        break;
    }
    return "WINDOWS-1252";
}

// One iconv conversion descriptor, closed when it goes.
class Converter final
{
public:
    Converter(const char* to, const char* from) : m_handle(::iconv_open(to, from)) {}
    ~Converter()
    {
        if (isOpen())
            ::iconv_close(m_handle);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool isOpen() const { return m_handle != invalidHandle(); }

    // Converts as much of input as it can, appending to output; advances
    // input past what was converted. False when it stopped at a sequence it
    // cannot convert (or an incomplete one at the end).
    bool convert(std::string_view& input, std::string& output)
    {
        std::array<char, 256> chunk{};
        // iconv takes a non-const input pointer but never writes through it.
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        bool complete = true;
        while (inLeft > 0) {
            char* out = chunk.data();
            std::size_t outLeft = chunk.size();
            const std::size_t result = ::iconv(m_handle, &in, &inLeft, &out, &outLeft);
            const int error = errno;
            output.append(chunk.data(), chunk.size() - outLeft);
            if (result == static_cast<std::size_t>(-1) && error != E2BIG) {
                complete = false;
                break;
            }
        }
        input.remove_prefix(input.size() - inLeft);
        ::iconv(m_handle, nullptr, nullptr, nullptr, nullptr); // back to the initial state
        return complete;
    }

private:
    static iconv_t invalidHandle() { return reinterpret_cast<iconv_t>(std::intptr_t{-1}); }

    iconv_t m_handle;
};

// The longest part of a UTF-8 text that is valid, and how it ends.
struct Utf8Shape
{
    std::size_t validBytes = 0;
    bool cutInLastCharacter = false; // the rest is the start of one character
};

Utf8Shape utf8Shape(std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size()) {
        const Utf8Sequence sequence = utf8SequenceAt(text.substr(at));
        if (!sequence.isWhole()) {
            // A lead byte and at least one continuation byte that reach the end are
            // a character cut by the device's field width; a lone high byte at the
            // end is as likely an accented letter of a code page ("caf\xE9").
            return {at, sequence.wellFormed >= 2 && at + sequence.wellFormed == text.size()};
        }
        at += sequence.length;
    }
    return {at, false};
}

// Decodes with the code page, showing each byte it cannot decode as U+FFFD.
std::string decodeLegacy(std::string_view bytes, LegacyCodePage page)
{
    Converter converter("UTF-8", iconvName(page));
    std::string text;
    if (!converter.isOpen()) {
        // Without the converter only the ASCII bytes can be shown faithfully.
        for (const char byte : bytes)
            text += static_cast<unsigned char>(byte) < 0x80 ? std::string_view(&byte, 1)
                                                            : replacementCharacter;
        return text;
    }
    while (!bytes.empty()) {
        if (!converter.convert(bytes, text)) {
            text += replacementCharacter;
            bytes.remove_prefix(1);
        }
    }
    return text;
}

// Encodes character by character, so that the cut at maxBytes never splits
// one; nothing when a character has no encoding in the code page. U+FFFD
// stands for bytes the page could not read and is never written as a
// character of its own (GB18030 could).
std::optional<std::string> encodeLegacy(std::string_view text, LegacyCodePage page,
                                        std::size_t maxBytes)
{
    Converter converter(iconvName(page), "UTF-8");
    if (!converter.isOpen())
        return std::nullopt;
    std::string encoded;
    std::string character;
    while (!text.empty()) {
        const Utf8Sequence sequence = utf8SequenceAt(text);
        if (!sequence.isWhole())
            return std::nullopt;
        std::string_view one = text.substr(0, sequence.length);
        character.clear();
        if (one == replacementCharacter || !converter.convert(one, character))
            return std::nullopt;
        if (encoded.size() + character.size() > maxBytes)
            break;
        encoded += character;
        text.remove_prefix(sequence.length);
    }
    return encoded;
}

} // namespace

LegacyCodePage codePageOfLanguage(int language)
{
    switch (language) {
    case 1:
        return LegacyCodePage::Gb18030;
    case 2:
        return LegacyCodePage::Big5;
    case 5:
        return LegacyCodePage::ShiftJis;
    default:
        return LegacyCodePage::Windows1252;
    }
}

bool isDeviceTextUtf8(std::string_view deviceBytes)
{
    const Utf8Shape shape = utf8Shape(deviceBytes);
    return shape.validBytes == deviceBytes.size() || shape.cutInLastCharacter;
}

std::string deviceTextToUtf8(std::string_view deviceBytes, LegacyCodePage page)
{
    const Utf8Shape shape = utf8Shape(deviceBytes);
    if (shape.validBytes == deviceBytes.size())
        return std::string(deviceBytes);
    if (shape.cutInLastCharacter)
        return std::string(deviceBytes.substr(0, shape.validBytes)) +
               std::string(replacementCharacter);
    return decodeLegacy(deviceBytes, page);
}

std::optional<std::string> utf8ToDeviceText(std::string_view typedUtf8,
                                            std::string_view storedDeviceBytes, LegacyCodePage page,
                                            std::size_t maxBytes)
{
    if (isDeviceTextUtf8(storedDeviceBytes))
        return std::string(cutAtCharacterBoundary(typedUtf8, maxBytes));
    return encodeLegacy(typedUtf8, page, maxBytes);
}

} // namespace tavolix

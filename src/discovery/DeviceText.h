#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tavolix {

// The single-byte or multi-byte code page that devices set up on older
// systems store their texts in. Each window language implies one.
enum class LegacyCodePage
{
    Windows1252, // English, French, German
    Gb18030,     // ChinaGB
    Big5,        // ChinaBG
    ShiftJis,    // Japan
};

// The code page of a language number 0..5 (English, ChinaGB, ChinaBG,
// French, German, Japan); Windows-1252 for any other number.
LegacyCodePage codePageOfLanguage(int language);

// How a device's text bytes are to be read: as UTF-8 when they are UTF-8
// (ASCII and empty texts included, and a text that a device cut inside its
// last character), otherwise in the legacy code page.
bool isDeviceTextUtf8(std::string_view deviceBytes);

// A device's text as UTF-8 for display. Bytes the code page cannot decode
// show as U+FFFD, so the result is always valid UTF-8 and the same bytes
// always give the same text.
std::string deviceTextToUtf8(std::string_view deviceBytes, LegacyCodePage page);

// A typed text in the encoding the device's stored text was read in (UTF-8
// when isDeviceTextUtf8(storedDeviceBytes), else the code page), cut on a
// character boundary to at most maxBytes. Nothing when the text holds a
// character that the code page cannot write.
std::optional<std::string> utf8ToDeviceText(std::string_view typedUtf8,
                                            std::string_view storedDeviceBytes, LegacyCodePage page,
                                            std::size_t maxBytes);

} // namespace tavolix

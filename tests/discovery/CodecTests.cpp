#include "Credentials.h"
#include "DeviceText.h"
#include "MacCodec.h"
#include "TextLimits.h"

#include <gtest/gtest.h>
#include <tuple>

namespace tavolix {
namespace {

TEST(MacCodec, TwelveHexDigitsConvertBothWaysAndNothingElse)
{
    const std::pair<MacAddress, const char*> rows[] = {
        {{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, "001a2b3c4d5e"},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "ffffffffffff"}, // the "none selected" caption
        {{0x80, 0x09, 0xA0, 0x0F, 0xF0, 0x01}, "8009a00ff001"},
    };
    for (const auto& [bytes, text] : rows) {
        EXPECT_EQ(macToText(bytes), text);
        EXPECT_EQ(textToMac(text), bytes) << text;
    }
    // Anything but twelve hex digits is refused; upper case is in RequestTests.
    for (const char* text : {"", "001a2b3c4d5", "001a2b3c4d5e0", "001a2b3c4d5g", "00:1a:2b:3c:4d",
                             " 01a2b3c4d5e", "001a2b3c4d5\n"})
        EXPECT_FALSE(textToMac(text).has_value()) << '"' << text << '"';
}

TEST(Base64, PaddingFollowsTheRemainderAndCredentialsAreBase64)
{
    // High bytes unsigned, a zero byte kept, the alphabet's last two characters.
    const std::pair<std::string_view, const char*> rows[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {std::string_view("\x80\xff\x00", 3), "gP8A"},
        {"\xfb\xff", "+/8="}};
    std::string output = "stale text";
    for (const auto& [input, encoded] : rows) {
        base64Encode(input, output);
        EXPECT_EQ(output, encoded);
    }

    // Account and password joined by a colon; two 16-byte logins: 44 Base64 characters.
    EXPECT_EQ(encodeCredentials("", ""), "Og==");
    EXPECT_EQ(encodeCredentials("abcdefghijklmnop", "ABCDEFGHIJKLMNOP"),
              "YWJjZGVmZ2hpamtsbW5vcDpBQkNERUZHSElKS0xNTk9Q");
    // Input beyond the joined area is cut, not written past it.
    EXPECT_EQ(encodeCredentials(std::string(500, 'a'), "b").size(), 172u); // 127 bytes encoded
}

TEST(TextLimits, CutsNeverSplitACharacter)
{
    // "é" is C3 A9: a cut between its bytes drops the whole character.
    EXPECT_EQ(cutAtCharacterBoundary("abc\xc3\xa9", 4), "abc");
    EXPECT_EQ(cutAtCharacterBoundary("ab\xc3\xa9", 4), "ab\xc3\xa9");
    // "設" is E8 A8 AD: three bytes, cut anywhere inside it.
    EXPECT_EQ(cutAtCharacterBoundary("a\xe8\xa8\xad", 2), "a");
    EXPECT_EQ(cutAtCharacterBoundary("\xe8\xa8\xad", 0), "");
    // Stray bytes after the limit do not cost the character before them; C0 leads nothing.
    EXPECT_EQ(cutAtCharacterBoundary("a\xc3\xa9\x80", 3), "a\xc3\xa9");
    EXPECT_EQ(cutAtCharacterBoundary("a\xc0\x80", 2), "a\xc0");
}

TEST(DeviceText, UnknownBytesReadInTheLanguagesCodePageAndWriteBackTheSame)
{
    using enum LegacyCodePage;
    // bytes as the device holds them, code page, text shown
    const std::tuple<const char*, LegacyCodePage, const char*> reads[] = {
        {"cam-1", ShiftJis, "cam-1"},                      // ASCII reads alike everywhere
        {"c\xC3\xA1mara", Gb18030, "cámara"},              // UTF-8 stays UTF-8
        {"\xE8\xAE\xBE\xE5\xA4", Windows1252, "设\uFFFD"}, // UTF-8 cut inside its last character
        {"cam\xE9ra", Windows1252, "caméra"},              // Latin-1
        {"caf\xE9", Windows1252, "café"},                  // a lone high byte at the end
        {"\xC1\xBF", Windows1252, "Á¿"},                   // overlong "?": not UTF-8
        {"a\x81\x62", Windows1252, "a\uFFFDb"},            // 81: no character in Windows-1252
        {"\xC9\xE3\xCF\xF1\xBB\xFA", Gb18030, "摄像机"},   // GBK
        {"\xC9\xE3\xCF\xF1\xBB", Gb18030, "摄像\uFFFD"},   // GBK cut inside a character
        {"\xC4\xE1\xBC\x76\xBE\xF7", Big5, "攝影機"},
        {"\x83\x4A\x83\x81\x83\x89\x5C", ShiftJis, "カメラ\\"}, // 5C stays a backslash
    };
    for (const auto& [bytes, page, shown] : reads)
        EXPECT_EQ(deviceTextToUtf8(bytes, page), shown) << shown;
    // English, ChinaGB, ChinaBG, French, German, Japan; any other number.
    const LegacyCodePage byLanguage[] = {Windows1252, Gb18030,  Big5,       Windows1252,
                                         Windows1252, ShiftJis, Windows1252};
    for (int language = 0; language < 7; ++language)
        EXPECT_EQ(codePageOfLanguage(language), byLanguage[language]) << language;

    // typed, as stored, code page, bytes at most, sent
    using Sent = std::optional<std::string>;
    const std::tuple<const char*, const char*, LegacyCodePage, std::size_t, Sent> writes[] = {
        {"caméras", "cam\xE9ra", Windows1252, 31, "cam\xE9ras"},
        {"摄像机2", "\xC9\xE3", Gb18030, 31, "\xC9\xE3\xCF\xF1\xBB\xFA\x32"},
        {"摄像机", "\xC9\xE3", Gb18030, 5, "\xC9\xE3\xCF\xF1"}, // never half a character
        {"攝影機", "\xA5\x78", Big5, 16, "\xC4\xE1\xBC\x76\xBE\xF7"},
        {"カメラ", "\x83\x4A", ShiftJis, 64, "\x83\x4A\x83\x81\x83\x89"},
        {"摄像机", "cam\xE9ra", Windows1252, 31, std::nullopt}, // Windows-1252 has no such letters
        {"摄像\uFFFD", "\xC9\xE3", Gb18030, 31, std::nullopt},
        {"摄像机", "cam", Windows1252, 8, "摄像"},             // an ASCII device takes UTF-8
        {"设备", "\xE8\xAE\xBE\xE5\xA4", Gb18030, 31, "设备"}, // and so does a cut UTF-8 one
    };
    for (const auto& [typed, stored, page, maxBytes, sent] : writes)
        EXPECT_EQ(utf8ToDeviceText(typed, stored, page, maxBytes), sent) << typed;
}

} // namespace
} // namespace tavolix

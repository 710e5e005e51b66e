#include "Credentials.h"
#include "MacCodec.h"
#include "TextLimits.h"

#include <gtest/gtest.h>

namespace tavolix {
namespace {

TEST(MacCodec, TwelveHexDigitsConvertBothWaysAndNothingElse)
{
    const struct
    {
        MacAddress bytes;
        const char* text;
    } rows[] = {
        {{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, "001a2b3c4d5e"},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "ffffffffffff"}, // the "none selected" caption
        {{0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, "000000000000"},
        {{0x80, 0x09, 0xA0, 0x0F, 0xF0, 0x01}, "8009a00ff001"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(macToText(row.bytes), row.text);
        EXPECT_EQ(textToMac(row.text), row.bytes) << row.text;
    }
    // Upper-case digits name the same bytes; anything but twelve hex digits is refused.
    EXPECT_EQ(textToMac("001A2B3C4D5E"), (MacAddress{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
    for (const char* text : {"", "001a2b3c4d5", "001a2b3c4d5e0", "001a2b3c4d5g", "00:1a:2b:3c:4d",
                             " 01a2b3c4d5e", "001a2b3c4d5\n"})
        EXPECT_FALSE(textToMac(text).has_value()) << '"' << text << '"';
}

TEST(Base64, PaddingFollowsTheRemainder)
{
    const struct
    {
        std::string_view input;
        const char* encoded;
    } rows[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {std::string_view("\x80\xff\x00", 3),
         "gP8A"},             // bytes above 0x7F (and a zero byte) as unsigned values
        {"\xfb\xff", "+/8="}, // the last two alphabet characters
    };
    std::string output = "stale text";
    for (const auto& row : rows) {
        base64Encode(row.input, output);
        EXPECT_EQ(output, row.encoded);
    }
}

TEST(Credentials, JoinsAccountAndPasswordWithAColon)
{
    EXPECT_EQ(encodeCredentials("admin", "12345"), "YWRtaW46MTIzNDU=");
    EXPECT_EQ(encodeCredentials("", ""), "Og==");
    // Two 16-byte logins: 33 joined bytes, 44 Base64 characters.
    const std::string longest = encodeCredentials("abcdefghijklmnop", "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(longest.size(), 44u);
    EXPECT_EQ(longest, "YWJjZGVmZ2hpamtsbW5vcDpBQkNERUZHSElKS0xNTk9Q");
    // Input beyond the joined area is cut, not written past it.
    EXPECT_EQ(encodeCredentials(std::string(500, 'a'), "b").size(), 172u); // 127 bytes encoded
}

TEST(TextLimits, CutsNeverSplitACharacter)
{
    EXPECT_EQ(cutAtCharacterBoundary("abcdef", 4), "abcd");
    EXPECT_EQ(cutAtCharacterBoundary("abc", 4), "abc");
    // "é" is C3 A9: a cut between its bytes drops the whole character.
    EXPECT_EQ(cutAtCharacterBoundary("abc\xc3\xa9", 4), "abc");
    EXPECT_EQ(cutAtCharacterBoundary("ab\xc3\xa9", 4), "ab\xc3\xa9");
    // "設" is E8 A8 AD: three bytes, cut anywhere inside it.
    EXPECT_EQ(cutAtCharacterBoundary("a\xe8\xa8\xad", 2), "a");
    EXPECT_EQ(cutAtCharacterBoundary("a\xe8\xa8\xad", 3), "a");
    EXPECT_EQ(cutAtCharacterBoundary("\xe8\xa8\xad", 0), "");
}

} // namespace
} // namespace tavolix

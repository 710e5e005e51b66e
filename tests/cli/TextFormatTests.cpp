// Untrusted device texts on their way to a terminal, a CSV file or JSON, and
// back from a plan: escapes, RFC 4180 quoting and the formula guard.
#include "Csv.h"
#include "TextEscape.h"

#include <clocale>
#include <gtest/gtest.h>

namespace tavolix::cli {
namespace {

TEST(TextEscape, EscapesWhatATerminalMustNotSeeUndoesItExactlyAndMeasuresWidth)
{
    const struct
    {
        std::string bytes;
        std::string escaped;
    } cases[] = {
        {"Lobby-Cam 1", "Lobby-Cam 1"},
        {"a\\b", "a\\\\b"},              // the escape character itself
        {"\x1b[31mred", "\\x1b[31mred"}, // terminal control sequence
        {"two\nlines\r\t", "two\\x0alines\\x0d\\x09"},
        {"del\x7f", "del\\x7f"},
        {"csi\xc2\x9b", "csi\\xc2\\x9b"}, // C1 control U+009B
        {"\xe2\x80\xae"
         "txt",
         "\\xe2\\x80\\xaetxt"},                                   // right-to-left override
        {"cam\xe9ra", "cam\\xe9ra"},                              // Latin-1, not UTF-8
        {"cut\xe4\xb8", "cut\\xe4\\xb8"},                         // a character cut short
        {"\xc0\xaf", "\\xc0\\xaf"},                               // overlong "/"
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},                      // a surrogate
        {"\xe4\xb8\xad\xe6\x96\x87", "\xe4\xb8\xad\xe6\x96\x87"}, // valid CJK stays
        {"\\x41", "\\\\x41"},                                     // looks like an escape, is text
        {std::string("nul\0x", 5), "nul\\x00x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(escapeDeviceText(c.bytes), c.escaped) << c.escaped;
        EXPECT_EQ(unescapeDeviceText(c.escaped), c.bytes) << c.escaped;
    }
    for (const char* bad : {"\\q", "\\x4", "end\\", "\\xZZ"})
        EXPECT_FALSE(unescapeDeviceText(bad).has_value()) << bad;
    // Wide characters take two columns in a table.
    std::setlocale(LC_CTYPE, "C.UTF-8");
    EXPECT_EQ(displayWidth("abc"), 3u);
    EXPECT_EQ(displayWidth("\xe4\xb8\xad\xe6\x96\x87"), 4u); // 中文
    EXPECT_EQ(displayWidth("caf\xc3\xa9"), 4u);
}

TEST(Csv, QuotesAndReadsBackEveryField)
{
    const std::vector<std::vector<std::string>> tables[] = {
        {{"mac", "name"}, {"02005e100001", "plain"}},
        {{"a,b", "say \"hi\""}, {"", "last"}},      // comma, quotes, empty field
        {{"x", "line\r\nbreak"}, {"trailing", ""}}, // CRLF inside, empty last field
    };
    for (const auto& table : tables) {
        std::string text;
        for (const auto& row : table) {
            std::vector<std::string> fields;
            for (const std::string& field : row)
                fields.push_back(csvField(field));
            text += csvLine(fields);
        }
        std::string error;
        EXPECT_EQ(parseCsv(text, error), table) << text << error;
    }
    std::string error;
    EXPECT_EQ(parseCsv("\xEF\xBB\xBFmac\n\n02005e100001\n", error),
              (std::vector<CsvRow>{{"mac"}, {"02005e100001"}}))
        << "byte order mark and blank line skipped";
    for (const char* bad : {"a,\"open\n", "a,b\"c\n", "\"closed\"x\n"})
        EXPECT_FALSE(parseCsv(bad, error).has_value()) << bad;
}

TEST(Csv, GuardsFormulasSoThatOneGuardComesOffAgain)
{
    const std::pair<std::string, std::string> cases[] = {
        {"=cmd|' /C calc'!A0", "'=cmd|' /C calc'!A0"},
        {"+1", "'+1"},
        {"-1", "'-1"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"'quoted", "''quoted"},
        {"a=b", "a=b"},
        {"", ""}};
    for (const auto& [text, guarded] : cases) {
        EXPECT_EQ(guardFormula(text), guarded);
        EXPECT_EQ(unguardFormula(guarded), text);
    }
}
} // namespace
} // namespace tavolix::cli

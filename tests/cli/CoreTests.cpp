// tavolixctl's parts: texts escaped and quoted, plans read.
#include "Csv.h"
#include "PlanFile.h"
#include "TextEscape.h"

#include <clocale>
#include <gmock/gmock.h>

namespace tavolix::cli {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

TEST(TextEscape, EscapesWhatATerminalMustNotSeeUndoesItExactlyAndMeasuresWidth)
{
    const std::pair<std::string, std::string> cases[] = {
        {"a\\b", "a\\\\b"},              // the escape character itself
        {"\x1b[31mred", "\\x1b[31mred"}, // terminal control sequence
        {"two\nlines\r\t", "two\\x0alines\\x0d\\x09"},
        {"del\x7f", "del\\x7f"},
        {"csi\xc2\x9b", "csi\\xc2\\x9b"},                         // C1 control U+009B
        {"txt\xe2\x80\xae", "txt\\xe2\\x80\\xae"},                // right-to-left override
        {"cam\xe9ra", "cam\\xe9ra"},                              // Latin-1, not UTF-8
        {"cut\xe4\xb8", "cut\\xe4\\xb8"},                         // a character cut short
        {"\xc0\xaf", "\\xc0\\xaf"},                               // overlong "/"
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},                      // a surrogate
        {"\xe4\xb8\xad\xe6\x96\x87", "\xe4\xb8\xad\xe6\x96\x87"}, // valid CJK stays
        {"\\x41", "\\\\x41"},                                     // looks like an escape, is text
        {std::string("nul\0x", 5), "nul\\x00x"},
    };
    for (const auto& [bytes, escaped] : cases) {
        EXPECT_EQ(escapeDeviceText(bytes), escaped) << escaped;
        EXPECT_EQ(unescapeDeviceText(escaped), bytes) << escaped;
    }
    for (const char* bad : {"\\q", "\\x4", "end\\", "\\xZZ"})
        EXPECT_FALSE(unescapeDeviceText(bad).has_value()) << bad;
    std::setlocale(LC_CTYPE, "C.UTF-8");
    EXPECT_EQ(displayWidth("abc"), 3u);
    EXPECT_EQ(displayWidth("\xe4\xb8\xad\xe6\x96\x87"), 4u); // 中文
    EXPECT_EQ(displayWidth("caf\xc3\xa9"), 4u);
}

TEST(Csv, QuotesReadsBackAndGuardsFormulasInEveryField)
{
    const std::vector<std::vector<std::string>> tables[] = {
        {{"a,b", "say \"hi\""}, {"", "last"}},      // comma, quotes, empty field
        {{"x", "line\r\nbreak"}, {"trailing", ""}}, // CRLF inside, empty last field
    };
    std::string error;
    for (const auto& table : tables) {
        std::string text;
        for (const auto& row : table)
            text += csvLine({csvField(row[0]), csvField(row[1])});
        EXPECT_EQ(parseCsv(text, error), table) << text << error;
    }
    EXPECT_EQ(parseCsv("\xEF\xBB\xBFmac\n\n02005e100001\n", error),
              (std::vector<CsvRow>{{"mac"}, {"02005e100001"}}))
        << "byte order mark and blank line skipped";
    for (const char* bad : {"a,\"open\n", "a,b\"c\n", "\"closed\"x\n"})
        EXPECT_FALSE(parseCsv(bad, error).has_value()) << bad;
    // One formula guard goes on, and comes off again.
    const std::pair<std::string, std::string> cases[] = {
        {"=cmd|' /C calc'!A0", "'=cmd|' /C calc'!A0"},
        {"+1", "'+1"},
        {"-1", "'-1"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"'quoted", "''quoted"},
        {"a=b", "a=b"},
        {"", ""}};
    for (const auto& [text, guarded] : cases) {
        EXPECT_EQ(guardCell(text), guarded);
        EXPECT_EQ(unguardCell(guarded), text);
    }
}

TEST(PlanFile, NamesEveryBadCellAtOnce)
{
    const std::pair<const char*, const char*> cases[] = {
        {"name,ip\r\nx,10.0.0.5\r\n", "no mac column"},
        {"mac,ip\r\n02005e10000,999.1.1.1\r\n",
         "row 2: mac \"02005e10000\" is not a MAC address\nrow 2: ip \"999.1.1.1\" is not an IPv4"},
        {"mac,ip\r\n02005e100001,10.0.0.256\r\n", "row 2: ip \"10.0.0.256\" is not an IPv4"},
        {"mac,mask\r\n02005e100001,255.0.255.0\r\n", "mask \"255.0.255.0\" is not a subnet mask"},
        {"mac,http_port\r\n02005e100001,70000\r\n", "http_port \"70000\" is not a port"},
        {"mac,mode\r\n02005e100001,auto\r\n", "mode \"auto\" is not static, dhcp or pppoe"},
        {"mac,name\r\n02005e100001,bad\\q\r\n", "backslash"},
        {"mac,name\r\n02005e100001,\"open\r\n", "not closed"},
    };
    for (const auto& [csv, error] : cases)
        EXPECT_THAT(readPlan(csv).failure().message, HasSubstr(error)) << csv;
    const auto rows = readPlan("MAC-ignored,mac,ip,note\r\nx,02:00:5E:10:00:01,,hello\r\n");
    ASSERT_TRUE(rows && rows->size() == 1u);
    EXPECT_EQ(rows->front().asked, DeviceSettings{}) << "an empty cell keeps, others are ignored";
    // A listing's name cell, behind the formula guard and escaped, is the device's own bytes.
    const auto named = readPlan(
        "mac,name\r\n02005e100001,\"'=1+2,\"\"q\"\"\\x1b[2J\\xe9\\xe2\\x80\\xae\\\\-001\"\r\n");
    ASSERT_TRUE(named && named->size() == 1u);
    EXPECT_EQ(named->front().asked.name, "=1+2,\"q\"\x1b[2J\xe9\xe2\x80\xae\\-001");
}

} // namespace
} // namespace tavolix::cli

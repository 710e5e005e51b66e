// tavolixctl's parts: texts escaped and quoted, plans read.
#include "Csv.h"
#include "DeviceListing.h"
#include "PlanFile.h"
#include "TextEscape.h"

#include <clocale>
#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

namespace tavolix::cli {
namespace {

using ::testing::Contains;
using ::testing::ContainsRegex;
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
    EXPECT_EQ(cutToWidth("abcdef", 4), "ab\u2026f");
    EXPECT_EQ(cutToWidth("\xe4\xb8\xad\xe6\x96\x87!", 4), "\xe4\xb8\xad\u2026!");
    EXPECT_EQ(cutToWidth("\xe4\xb8\xad\xe6\x96\x87\xe5\xad\x97", 4),
              "\xe4\xb8\xad\u2026"); // no half 字
    EXPECT_EQ(cutToWidth("abcd", 4), "abcd");
    EXPECT_EQ(cutToWidth("\\xe9\\\\\\xe9", 8), "\\xe9\\\\\u2026"); // escapes stay whole
    // Bytes that are not UTF-8 never make the JSON writer throw: they stand as U+FFFD.
    EXPECT_EQ(jsonText(nlohmann::ordered_json("ung\xfcltig")), "\"ung\xef\xbf\xbdltig\"\n");
}

TEST(Csv, QuotesReadsBackAndGuardsFormulasInEveryField)
{
    const std::vector<std::vector<std::string>> tables[] = {
        {{"a,b", "say \"hi\""}, {"", "last"}},      // comma, quotes, empty field
        {{"x", "line\r\nbreak"}, {"trailing", ""}}, // CRLF inside, empty last field
    };
    for (const auto& table : tables) {
        std::string text;
        for (const auto& row : table)
            text += csvLine({csvField(row[0]), csvField(row[1])});
        const auto parsed = parseCsv(text);
        ASSERT_TRUE(parsed) << text;
        EXPECT_EQ(*parsed, table) << text;
    }
    const auto marked = parseCsv("\xEF\xBB\xBFmac\n\n02005e100001\n");
    ASSERT_TRUE(marked);
    EXPECT_EQ(*marked, (std::vector<CsvRow>{{"mac"}, {"02005e100001"}}))
        << "byte order mark and blank line skipped";
    for (const char* bad : {"a,\"open\n", "a,b\"c\n", "\"closed\"x\n"})
        EXPECT_THAT(parseCsv(bad).failure().message, HasSubstr(": a quote")) << bad;
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

// A device of ours at an address, as a reply on the interface lists it.
Device camera(uint8_t last, std::initializer_list<uint8_t> ip)
{
    Device device;
    device.mac = {0x02, 0x00, 0x5e, 0x10, 0x00, last};
    device.name = "CAM";
    const auto byte = ip.begin();
    device.ip = Ipv4{byte[0]} << 24 | Ipv4{byte[1]} << 16 | Ipv4{byte[2]} << 8 | byte[3];
    device.mask = 0xFFFFFF00;
    device.gateway = 0x0A000001;
    device.httpPort = 80;
    device.kind = DeviceKind::WithoutPppoe;
    return device;
}

TEST(DeviceListing, TheTableFitsATerminalCuttingOnlyDeviceTextsAndFlagsConflicts)
{
    std::setlocale(LC_CTYPE, "C.UTF-8");
    // Two devices off link on one factory address; one on link with a long model.
    std::vector<Device> devices = {camera(1, {192, 168, 1, 108}), camera(2, {192, 168, 1, 108}),
                                   camera(3, {10, 0, 0, 3})};
    devices[0].name = std::string(60, 'N') + "-01";
    for (int i = 0; i < 30; ++i)
        devices[1].name += "\xe4\xb8\xad"; // 中, two columns wide
    devices[2].model = std::string(50, 'M');
    devices[2].onLink = true;
    const auto rows = listingRows(devices);
    // 120 columns: the longest texts lose their middle first; a wide character
    // that does not fit leaves a blank.
    EXPECT_EQ(tableListing(rows),
              "mac           name           ip             mask           gateway   mode    "
              "protocol  model           flags\n"
              "02005e100001  NNNNNN\u2026NNN-01  192.168.1.108  255.255.255.0  10.0.0.1  static  "
              "native                    conflict,off-link\n"
              "02005e100002  CAM\u4e2d\u2026\u4e2d\u4e2d\u4e2d   192.168.1.108  255.255.255.0  "
              "10.0.0.1  static  native                    conflict,off-link\n"
              "02005e100003  CAM            10.0.0.3       255.255.255.0  10.0.0.1  static  "
              "native    MMMMMMM\u2026MMMMMM\n");
    const std::string wide = tableListing(rows, {.chosen = {}, .wide = true});
    EXPECT_THAT(wide, ContainsRegex("^mac +name +ip +mask +gateway +http_port +mode +kind +source "
                                    "+on_link +ip_conflict +protocol +model +mac_conflict\n"));
    EXPECT_THAT(wide, HasSubstr(devices[1].name + "  192.168.1.108"));
    EXPECT_THAT(wide, HasSubstr(devices[2].model + "  false\n"));
    // Chosen columns as given, also one empty on every row.
    EXPECT_EQ(tableListing(rows, {.chosen = {"flags", "serial", "ip"}}),
              "flags              serial  ip\n"
              "conflict,off-link          192.168.1.108\n"
              "conflict,off-link          192.168.1.108\n"
              "                           10.0.0.3\n");
    // A narrower terminal: what cutting can fit there does; the default cannot.
    EXPECT_EQ(tableListing(rows, {.chosen = {"mac", "name"}, .wide = false, .terminalWidth = 24}),
              "mac           name\n"
              "02005e100001  NNNNN\u2026N-01\n"
              "02005e100002  CAM\u4e2d\u2026\u4e2d\u4e2d\n"
              "02005e100003  CAM\n");
    EXPECT_EQ(tableListing(rows, {.chosen = {}, .wide = false, .terminalWidth = 80}),
              tableListing(rows));
    EXPECT_EQ(*parseTableColumns("ip,flags,mac"), (std::vector<std::string>{"ip", "flags", "mac"}));
    for (const char* bad : {"mac,bogus", "", "mac,"})
        EXPECT_THAT(parseTableColumns(bad).failure().message,
                    HasSubstr("\"; the columns are mac,name,ip,"))
            << bad;
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

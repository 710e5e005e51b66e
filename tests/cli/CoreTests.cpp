// tavolixctl's parts: texts escaped and quoted, plans read and checked, addresses, the request.
#include "AddressPlanner.h"
#include "ByteImage.h"
#include "Csv.h"
#include "DeviceEncoding.h"
#include "MergedProtocols.h"
#include "NativeProtocol.h"
#include "NativeRequest.h"
#include "PlanFile.h"
#include "ReplyParser.h"
#include "ReplyValues.h"
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

// A device's reply: kind 0 states none; mode bytes as the reply carries them.
std::vector<uint8_t> reply(uint8_t last, std::initializer_list<uint8_t> ip, uint8_t kind = 1,
                           std::initializer_list<uint8_t> mode = {0xFF, 0xFF, 0xFF, 0xFF},
                           std::string_view name = "CAM")
{
    return test::WireBytes()
        .text("VXL83")
        .record(0x10, 6, {0x02, 0x00, 0x5e, 0x10, 0x00, last})
        .record(0x11, 4, ip)
        .record(0x12, 4, {255, 255, 255, 0})
        .record(0x13, 4, {10, 0, 0, 1})
        .record(0x14, 2, {80, 0})
        .record(0x1F, 4, mode)
        .textRecord(0x20, 31, name)
        .record(0x30, 2, {0, kind})
        .data();
}

Device camera(uint8_t last, std::initializer_list<uint8_t> ip, uint8_t kind = 1,
              std::initializer_list<uint8_t> mode = {0xFF, 0xFF, 0xFF, 0xFF})
{
    return deviceFromReply(*decodeReplyValues(reply(last, ip, kind, mode)));
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
        {"mac,name\r\n02005e100001,12345678901234567890123456789012\r\n", "32 bytes long"},
        {"mac,name\r\n02005e100001,bad\\q\r\n", "backslash"},
        {"mac,name\r\n02005e100001,\"open\r\n", "not closed"},
    };
    for (const auto& [csv, error] : cases)
        EXPECT_THAT(readPlan(csv).failure().message, HasSubstr(error)) << csv;
    const auto rows = readPlan("MAC-ignored,mac,ip,note\r\nx,02:00:5E:10:00:01,,hello\r\n");
    ASSERT_TRUE(rows && rows->size() == 1u);
    EXPECT_TRUE(rows->front().asked.empty()) << "an empty cell keeps, other columns are ignored";
    // A listing's name cell, behind the formula guard and escaped, is the device's own bytes.
    const auto named = readPlan(
        "mac,name\r\n02005e100001,\"'=1+2,\"\"q\"\"\\x1b[2J\\xe9\\xe2\\x80\\xae\\\\-001\"\r\n");
    ASSERT_TRUE(named && named->size() == 1u);
    EXPECT_EQ(named->front().asked.at(Setting::Name), "=1+2,\"q\"\x1b[2J\xe9\xe2\x80\xae\\-001");
}

TEST(PlanCheck, RefusesEachKindOfProblemAndWarnsOfAStrayGateway)
{
    const std::vector<Device> found = {
        camera(1, {10, 0, 0, 11}),
        camera(2, {10, 0, 0, 12}),
        camera(3, {10, 0, 0, 13}, 3),
        camera(4, {10, 0, 0, 14}, 0, {0xFF, 0xFF, 0x01, 0xFF}), // DHCP
        camera(9, {10, 0, 0, 99}),                              // never in a plan here
    };
    const std::pair<const char*, const char*> cases[] = {
        {"mac,ip\n02005e100001,10.0.0.21\n02005e100002,10.0.0.22\n", ""},
        {"mac,ip\n02005e100007,10.0.0.21\n", "no such device"},
        {"mac,ip\n02005e100001,10.0.0.21\n02005e100001,10.0.0.22\n", "rows 2 and 3 both name"},
        {"mac,ip\n02005e100001,10.0.0.21\n02005e100002,10.0.0.21\n", "two devices would end"},
        {"mac,ip\n02005e100001,10.0.0.12\n02005e100002,\n",
         "two devices would end with IP 10.0.0.12"},
        {"mac,ip\n02005e100001,10.0.0.99\n", "held by 02005e100009, which is not in the plan"},
        {"mac,mode\n02005e100001,pppoe\n", "a kind 1 device cannot use PPPoE"},
        {"mac,pppoe_account\n02005e100001,dsl\n", "a kind 1 device cannot use PPPoE"},
        {"mac,pppoe_account\n02005e100004,dsl\n", "can be set only in pppoe mode"},
        {"mac,mode,pppoe_account\n02005e100004,pppoe,dsl\n", ""},
        {"mac,name\n02005e100003,New\n", "a kind 3 device lets nothing be changed"},
        {"mac,ip\n02005e100004,10.0.0.24\n", "cannot be set while the mode is dhcp"},
        {"mac,gateway\n02005e100004,10.0.0.254\n", "cannot be set while the mode is dhcp"},
        {"mac,ip,mode\n02005e100004,10.0.0.24,static\n", ""},
        {"mac,ip\n02005e100001,10.0.0.255\n", "network or broadcast"},
        {"mac,ip\n02005e100001,224.0.0.1\n", "not an address a device can hold"},
        {"mac,http_port\n02005e100001,0\n", "0 is not a port"},
        {"mac,gateway\n02005e100001,10.9.9.1\n", ""}, // only warned of, below
        // A kind 3 device listed unchanged, as a search listing lists it, is fine.
        {"mac,name,ip,http_port\n02005e100003,CAM,10.0.0.13,80\n", ""},
    };
    for (const auto& [plan, error] : cases) {
        const auto rows = readPlan(plan);
        ASSERT_TRUE(rows) << plan;
        using Errors = ::testing::Matcher<std::vector<std::string>>;
        EXPECT_THAT(checkPlan(*rows, found).errors,
                    *error ? Errors(Contains(HasSubstr(error))) : Errors(IsEmpty()))
            << plan;
    }
    EXPECT_THAT(checkPlan(*readPlan("mac,gateway\n02005e100001,10.9.9.1\n"), found).warnings,
                Contains(HasSubstr("gateway 10.9.9.1 lies outside 10.0.0.0")));
}

TEST(AddressPlanner, HandsOutFreeAddressesInMacOrder)
{
    // Found out of order; .1 and .3 are taken, .0 is the network address.
    const std::vector<Device> found = {
        camera(3, {10, 0, 0, 3}), camera(1, {192, 168, 1, 108}),
        camera(2, {10, 0, 0, 1}, 3), // kind 3: keeps its address, which stays taken
    };
    AddressPlanRequest request;
    request.from = 0x0A000000; // 10.0.0.0
    request.mask = 0xFFFFFF00;
    const auto plan = planAddresses(found, request);
    ASSERT_TRUE(plan);
    std::vector<std::pair<int, Ipv4>> planned; // last MAC byte and address
    for (const Device& device : plan->devices)
        planned.emplace_back(device.mac.back(), device.ip);
    EXPECT_EQ(planned, (std::vector<std::pair<int, Ipv4>>{{1, 0x0A000002}, {3, 0x0A000004}}));
    EXPECT_EQ(plan->notes.size(), 1u) << "the kind 3 device is left out, with a note";

    request.from = 0x0A0000FE; // 10.0.0.254, the last host address: one device too many
    EXPECT_THAT(planAddresses(found, request).failure().message, HasSubstr("no free address"));
}

// An ONVIF row read without a login, at 10.0.0.<last> on interface 2.
Device unread(uint8_t last, std::string endpoint)
{
    Device row;
    row.protocols = Protocols::Onvif;
    row.ip = 0x0A000000U | last;
    row.interfaceIndex = 2;
    row.settingsRead = false;
    row.macSource = MacSource::Unknown;
    row.endpoint = std::move(endpoint);
    return row;
}

// The neighbour table vouches for a MAC that one address alone has; merged rows never conflict.
TEST(MergedProtocols, NeighbourMacsMergeUnreadRowsAndConflictsCountDevices)
{
    const MacAddress shared{0x02, 0, 0x5e, 0, 0, 0x99}, own = camera(11, {10, 0, 0, 11}).mac;
    // 10.0.0.11 has the native device's own MAC; .12 and .13 are behind one proxy-ARP MAC.
    const NeighbourMacs neighbours(
        {{2, 0x0A00000B, own}, {2, 0x0A00000C, shared}, {2, 0x0A00000D, shared}});
    EXPECT_EQ(neighbours.of(2, 0x0A00000B), own);
    EXPECT_EQ(neighbours.of(3, 0x0A00000B), std::nullopt) << "learnt on another interface";
    EXPECT_EQ(neighbours.of(2, 0x0A00000C), std::nullopt);

    const auto merged = mergedByMac({{camera(11, {10, 0, 0, 11}), camera(12, {10, 0, 0, 14})},
                                     {unread(11, "urn:a"), unread(12, "urn:b")}},
                                    neighbours);
    ASSERT_EQ(merged.size(), 3u);
    EXPECT_EQ(merged[0].protocols, Protocols::Both);
    EXPECT_EQ(merged[0].endpoint, "urn:a");
    EXPECT_FALSE(macKnown(merged[1])) << "its MAC is the proxy's";
    Device told = unread(15, "urn:c"); // a MAC it told of itself lists it, but plans no change
    told.mac = shared;
    told.macSource = MacSource::EndpointUuid;
    EXPECT_EQ(findDevice({told}, shared), nullptr);
    // Rows of one endpoint are one device; an unknown row beside a known one may be another.
    EXPECT_EQ(ipConflicts({unread(11, "urn:a"), unread(11, "urn:a"), camera(11, {10, 0, 0, 11})}),
              (std::vector<bool>{true, true, true}));
    EXPECT_EQ(ipConflicts({unread(11, "urn:a"), unread(11, "urn:a")}),
              (std::vector<bool>{false, false}));
}

// The request to device 02005e100007 with login "admin:admin", up to offset 47.
test::WireBytes requestPrefix()
{
    return test::WireBytes()
        .text("VXL83")
        .textRecord(0x32, 0x20, "YWRtaW46YWRtaW4=")                // 5-38  Credentials
        .record(0x10, 0x06, {0x02, 0x00, 0x5e, 0x10, 0x00, 0x07}); // 39-46 Mac
}

// The row and the stored record come from one reply.
TEST(NativeRequest, SendsOnlyWhatWasAskedInTheWindowsRecordOrderAndTheDevicesEncoding)
{
    const auto bytes = reply(7, {198, 18, 1, 7}, 1, {0xFF, 0xFF, 0xFF, 0xFF}, "cam\xe9ra");
    const DeviceRecord stored = *decodeReply(bytes); // Latin-1 name: not UTF-8
    const Device device = deviceFromReply(*decodeReplyValues(bytes));
    const auto latin1 = LegacyCodePage::Windows1252;
    const std::pair<SettingValues, test::WireBytes> cases[] = {
        // The untouched Latin-1 name is not sent; NetworkMode always is.
        {{{Setting::Ip, "198.18.1.70"}},
         requestPrefix()
             .record(0x11, 0x04, {198, 18, 1, 70})           // 47-52 IpAddress
             .record(0x1F, 0x04, {0xFF, 0xFF, 0xFF, 0xFF})}, // 53-58 NetworkMode static
        // The unchanged port value 80 is not compared as text.
        {{{Setting::Name, "Lobby"}, {Setting::HttpPort, "8080"}, {Setting::Mode, "dhcp"}},
         requestPrefix()
             .textRecord(0x20, 0x1F, "Lobby")                // 47-79 Name
             .bytes({0x14, 0x05, '8', '0', '8', '0', 0x00})  // 80-86 HttpPort
             .record(0x1F, 0x04, {0xFF, 0xFF, 0x01, 0xFF})}, // 87-92 NetworkMode DHCP
        // A name typed in UTF-8 goes out in the device's own Latin-1.
        {{{Setting::Name, "cam\xc3\xa9ra 2"}},
         requestPrefix()
             .textRecord(0x20, 0x1F, "cam\xe9ra 2")
             .record(0x1F, 0x04, {0xFF, 0xFF, 0xFF, 0xFF})},
    };
    for (auto [values, expected] : cases) {
        const auto asked = inDeviceEncoding(device, values, latin1);
        ASSERT_TRUE(asked);
        const auto request = composeRequest(stored, *asked, resultingMode(device, *asked),
                                            {"admin", "admin"}, latin1);
        ASSERT_TRUE(request);
        EXPECT_EQ(std::vector<uint8_t>(request->begin(), request->end()),
                  expected.padTo(256).data());
    }
    const auto refusal = [&](const std::string& name, LegacyCodePage page) {
        return inDeviceEncoding(device, {{Setting::Name, name}}, page).failure().message;
    };
    EXPECT_THAT(refusal("\xe6\x91\x84", latin1), HasSubstr("cannot store"));
    // 31 bytes of UTF-8 grow to 33 in GB18030, where U+00DF takes four bytes.
    EXPECT_THAT(refusal(std::string(29, 'a') + "\xc3\x9f", LegacyCodePage::Gb18030),
                HasSubstr("does not fit"));
}

} // namespace
} // namespace tavolix::cli

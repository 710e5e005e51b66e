#include "ByteImage.h"
#include "DeviceTable.h"
#include "ReplyParser.h"

#include <gtest/gtest.h>

namespace tavolix {
namespace {

using test::WireBytes;

DeviceRecord deviceWithMac(uint8_t a, uint8_t b, const char* name = "")
{
    DeviceRecord device;
    device.mac = {0x00, 0x11, 0x22, 0x33, a, b};
    setFieldText(device.name, name);
    return device;
}

WireBytes afterMagic()
{
    return WireBytes().text("VXL83");
}

TEST(ReplyParser, ReadsEveryRecordOfAFullReply)
{
    const auto reply = WireBytes()
                           .text("VXL83")                                            // 0-4
                           .textRecord(0x21, 0x10, "1.2.3-build-0042")               // 5-22 Version
                           .textRecord(0x20, 0x1F, "cam-one")                        // 23-55 Name
                           .record(0x10, 0x06, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}) // 56-63
                           .record(0x11, 0x04, {0xC0, 0xA8, 0x01, 0x0A})             // 64-69 IP
                           .record(0x12, 0x04, {0xFF, 0xFF, 0xFF, 0x00})             // 70-75 mask
                           .record(0x13, 0x04, {0xC0, 0xA8, 0x01, 0x01}) // 76-81 gateway
                           .record(0x14, 0x05, {0x90, 0x1F})             // 82-88 port
                           .record(0x1F, 0x04, {0xFF, 0xFF, 0x01, 0xFF}) // 89-94 mode
                           .record(0x30, 0x02, {0x00, 0x01})             // 95-98 kind 1
                           .textRecord(0x22, 0x40, std::string(64, 'a')) // 99-164
                           .textRecord(0x23, 0x10, "pw")                 // 165-182
                           .record(0x32, 0x20); // 183-216 Credentials: skipped
    const auto device = decodeReply(reply.data());
    ASSERT_TRUE(device);
    EXPECT_EQ(fieldText(device->version), "1.2.3-build-0042"); // 16 bytes, no terminator
    EXPECT_EQ(fieldText(device->name), "cam-one");
    EXPECT_EQ(device->mac, (std::array<uint8_t, 6>{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
    EXPECT_EQ(ipv4Text(device->ipAddress), "192.168.1.10");
    EXPECT_EQ(ipv4Text(device->subnetMask), "255.255.255.0");
    EXPECT_EQ(ipv4Text(device->gateway), "192.168.1.1");
    EXPECT_EQ(device->httpPort, 8080);
    EXPECT_EQ(device->networkMode, (std::array<uint8_t, 4>{0xFF, 0xFF, 0x01, 0xFF}));
    EXPECT_EQ(device->kind, DeviceKind::WithoutPppoe);
    EXPECT_EQ(fieldText(device->pppoeAccount), std::string(64, 'a'));
    EXPECT_EQ(fieldText(device->pppoePassword), "pw");
}

TEST(ReplyParser, FieldRules)
{
    const struct
    {
        const char* what;
        WireBytes reply;
        int kind;
        int port;
        std::string name = "";
        std::string address = "";
    } rows[] = {
        {"kind 00 02 leaves 0", afterMagic().record(0x30, 0x02, {0x00, 0x02}), 0, 0},
        {"kind 01 01 leaves 0", afterMagic().record(0x30, 0x02, {0x01, 0x01}), 0, 0},
        {"kind 00 03 gives 3", afterMagic().record(0x30, 0x02, {0x00, 0x03}), 3, 0},
        {"kind 03 then 02 keeps 3",
         afterMagic().record(0x30, 0x02, {0x00, 0x03}).record(0x30, 0x02, {0x00, 0x02}), 3, 0},
        {"port 50 00 gives 80", afterMagic().record(0x14, 0x05, {0x50, 0x00}), 0, 80},
        {"port FF FF gives 65535", afterMagic().record(0x14, 0x05, {0xFF, 0xFF}), 0, 65535},
        {"31-byte name is terminated",
         afterMagic().textRecord(0x20, 0x1F, std::string(31, 'x')).bytes({0x21, 0x10}).text("v"), 0,
         0, std::string(31, 'x')},
        {"later record overwrites",
         afterMagic().textRecord(0x20, 0x1F, "old").textRecord(0x20, 0x1F, "new"), 0, 0, "new"},
        {"value taken at the fixed size whatever the length says",
         afterMagic().textRecord(0x20, 0x03, "abc").record(0x14, 0x05, {0x50}), 0, 80,
         std::string("abc\x14\x05\x50", 6)},
        // Length bytes above the tag's size: values cut to it, the walk goes on by the length.
        {"long name cut to 31",
         afterMagic().textRecord(0x20, 0x28, std::string(40, 'x')).bytes({0x14, 0x05, 0x50}), 0, 80,
         std::string(31, 'x')},
        {"long address: its first four bytes",
         afterMagic().record(0x11, 0x08, {10, 0, 0, 1, 99, 99, 99, 99}).bytes({0x14, 0x05, 0x51}),
         0, 81, "", "10.0.0.1"},
        {"long port: its first two bytes",
         afterMagic()
             .record(0x14, 0x09, {0x50, 0, 0, 0, 0, 0x90, 0x1F})
             .textRecord(0x20, 0x1F, "n"),
         0, 80, "n"},
        {"unknown tag skipped by its length",
         afterMagic().record(0x77, 0x03, {1, 2, 3}).record(0x14, 0x05, {0x50}), 0, 80},
        {"tag 00 ends the walk", afterMagic().record(0x00, 0x00).record(0x14, 0x05, {0x50}), 0, 0},
        {"length FF moves on by 257", afterMagic().record(0x77, 0xFF).record(0x14, 0x05, {0x50}), 0,
         80},
        {"cut-off port counts missing bytes as zero", afterMagic().bytes({0x14, 0x05, 0x50}), 0,
         80},
        {"cut-off name keeps what arrived", afterMagic().bytes({0x20, 0x1F}).text("ab"), 0, 0,
         "ab"},
        {"lone tag byte at the end", afterMagic().bytes({0x20}), 0, 0},
    };
    for (const auto& row : rows) {
        const auto device = decodeReply(row.reply.data());
        ASSERT_TRUE(device) << row.what;
        EXPECT_EQ(static_cast<int>(device->kind), row.kind) << row.what;
        EXPECT_EQ(device->httpPort, row.port) << row.what;
        EXPECT_EQ(std::string(fieldText(device->name)), row.name) << row.what;
        EXPECT_EQ(std::string(ipv4Text(device->ipAddress)), row.address) << row.what;
    }
}

TEST(ReplyParser, IgnoresDatagramsWithoutTheMagic)
{
    // Empty, shorter than the magic, a wrong last byte, another case.
    const std::vector<std::vector<uint8_t>> rejected = {
        {}, {'V', 'X', 'L', '8'}, {'V', 'X', 'L', '8', '4'}, {'v', 'x', 'l', '8', '3', 0x20}};
    for (const auto& bytes : rejected)
        EXPECT_FALSE(decodeReply(bytes)) << bytes.size();
    EXPECT_EQ(decodeReply(afterMagic().data()), DeviceRecord{}); // just the magic: all zero
}

TEST(ListRows, TextAndLeadingNumber)
{
    DeviceRecord record;
    record.slot = 255;
    setFieldText(record.name, std::string(31, 'n'));
    EXPECT_EQ(listRowText(record), "255 " + std::string(31, 'n')); // 35 bytes at most

    const std::pair<const char*, int> rows[] = {
        {"12 cam", 12}, {"255 x", 255}, {"  7 y", 7}, {"+3 z", 3},
        {"-4 z", -4},   {"cam 12", 0},  {"", 0},      {"99999999999999 big", 2147483647}};
    for (const auto& [text, number] : rows)
        EXPECT_EQ(leadingNumber(text), number) << text;
}

// New devices fill the table from the top and a full table drops them; a known MAC keeps its
// slot. Every search empties the table, which begins a generation and fills from the top again;
// an all-zero address takes the lowest empty slot, and a second one matches that listed device.
TEST(DeviceTable, FillsFromTheTopKeepsKnownDevicesAndCountsGenerations)
{
    DeviceTable table;
    const uint64_t first = table.generation();
    for (int i = 0; i < DeviceTable::slotCount; ++i)
        ASSERT_EQ(table.store(deviceWithMac(static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i))),
                  255 - i);
    EXPECT_EQ(table.generationHolding(255), first);
    EXPECT_EQ(table.store(deviceWithMac(0xEE, 0xEE)), 0);
    EXPECT_EQ(table.store(deviceWithMac(0, 7, "again")), 248);
    EXPECT_EQ(fieldText(table.recordAt(248)->name), "again");
    EXPECT_EQ(table.usedSlotCount(), 255);

    table.clear();
    EXPECT_EQ(table.generation(), first + 1);
    EXPECT_EQ(table.usedSlotCount(), 0);
    for (const int empty : {255, 1, 0, 256})
        EXPECT_FALSE(table.generationHolding(empty)) << empty;
    EXPECT_FALSE(table.recordAt(0) || table.recordAt(256));
    EXPECT_EQ(table.recordAt(255)->slot, 0);          // an empty slot's record
    ASSERT_EQ(table.store(deviceWithMac(0, 2)), 255); // another device in the same slot
    EXPECT_EQ(table.generationHolding(255), first + 1);
    EXPECT_EQ(table.store(DeviceRecord{}), 1);
    EXPECT_EQ(table.store(DeviceRecord{}), 1);
    EXPECT_EQ(table.usedSlotCount(), 2);
}

} // namespace
} // namespace tavolix

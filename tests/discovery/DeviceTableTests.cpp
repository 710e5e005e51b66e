#include "DeviceTable.h"

#include <gtest/gtest.h>

namespace tavolix {
namespace {

DeviceRecord deviceWithMac(uint8_t a, uint8_t b, const char* name = "")
{
    DeviceRecord device;
    device.mac = {0x00, 0x11, 0x22, 0x33, a, b};
    setFieldText(device.name, name);
    return device;
}

TEST(DeviceTable, NewDevicesFillFromTheTopAndKeepTheirSlot)
{
    DeviceTable table;
    EXPECT_EQ(table.store(deviceWithMac(0, 1, "first")), 255);
    EXPECT_EQ(table.store(deviceWithMac(0, 2, "second")), 254);
    EXPECT_EQ(table.store(deviceWithMac(0, 1, "renamed")), 255); // merged by MAC
    EXPECT_EQ(table.usedSlotCount(), 2);
    const auto record = table.recordAt(255);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->slot, 255);
    EXPECT_EQ(fieldText(record->name), "renamed"); // replaced whole

    EXPECT_FALSE(table.recordAt(0));
    EXPECT_FALSE(table.recordAt(256));
    EXPECT_EQ(table.recordAt(1)->slot, 0); // empty

    table.clear();
    EXPECT_EQ(table.usedSlotCount(), 0);
    EXPECT_EQ(table.store(deviceWithMac(0, 2)), 255); // every search starts from the top again
}

TEST(DeviceTable, AFullTableDropsNewDevicesButRefreshesKnownOnes)
{
    DeviceTable table;
    for (int i = 0; i < DeviceTable::slotCount; ++i)
        ASSERT_EQ(table.store(deviceWithMac(static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i))),
                  255 - i);
    EXPECT_EQ(table.usedSlotCount(), 255);
    EXPECT_EQ(table.store(deviceWithMac(0xEE, 0xEE)), 0);
    EXPECT_EQ(table.store(deviceWithMac(0, 7, "again")), 248);
    EXPECT_EQ(fieldText(table.recordAt(248)->name), "again");
    EXPECT_EQ(table.usedSlotCount(), 255);
}

TEST(DeviceTable, AnAllZeroAddressTakesTheLowestEmptySlot)
{
    DeviceTable table;
    DeviceRecord anonymous;
    EXPECT_EQ(table.store(anonymous), 1);
    // A second one matches the listed all-zero device.
    EXPECT_EQ(table.store(anonymous), 1);
    EXPECT_EQ(table.store(deviceWithMac(0, 1)), 255);
    EXPECT_EQ(table.usedSlotCount(), 2);
}

} // namespace
} // namespace tavolix

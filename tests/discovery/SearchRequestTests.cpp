#include "Datagram.h"
#include "WireBytes.h"

#include <gtest/gtest.h>

namespace tavolix {
namespace {

using test::WireBytes;

TEST(SearchRequest, IsTheConstantTwoHundredFiftySixByteImage)
{
    const auto expected = WireBytes()
                              .text("VXL83") // 0-4    magic
                              .bytes({0x20, 0x1F})
                              .zeros(31) // 5-37   Name
                              .bytes({0x10, 0x06})
                              .zeros(6) // 38-45  Mac
                              .bytes({0x21, 0x10})
                              .zeros(16) // 46-63  Version
                              .bytes({0x11, 0x04})
                              .zeros(4) // 64-69  IpAddress
                              .bytes({0x12, 0x04})
                              .zeros(4) // 70-75  SubnetMask
                              .bytes({0x13, 0x04})
                              .zeros(4) // 76-81  Gateway
                              .bytes({0x14, 0x05})
                              .zeros(5) // 82-88  HttpPort
                              .bytes({0x1F, 0x04})
                              .zeros(4) // 89-94  NetworkMode
                              .bytes({0x30, 0x02})
                              .zeros(2) // 95-98  DeviceKind
                              .bytes({0x22, 0x40})
                              .zeros(64) // 99-164 PppoeAccount
                              .bytes({0x23, 0x10})
                              .zeros(16)   // 165-182 PppoePassword
                              .padTo(256); // 183-255 fill
    const RequestBuffer request = searchRequest();
    ASSERT_EQ(expected.size(), request.size());
    EXPECT_EQ(expected.data(), std::vector<uint8_t>(request.begin(), request.end()));
}

TEST(RequestWriter, WritesFixedSizesAndChecksCapacity)
{
    RequestBuffer buffer;
    buffer.fill(0xAA);
    RequestWriter writer(buffer);
    EXPECT_EQ(writer.size(), 5u);
    EXPECT_EQ(buffer[5], 0); // the rest of the buffer was zeroed

    // A short value is zero-padded, a long one cut: the record always has the tag's size.
    const uint8_t shortValue[] = {0x38, 0x30};
    const uint8_t longValue[] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_TRUE(writer.appendRecord(Tag::HttpPort, shortValue));
    ASSERT_TRUE(writer.appendRecord(Tag::IpAddress, longValue));
    const auto expected = WireBytes()
                              .text("VXL83")
                              .bytes({0x14, 0x05, 0x38, 0x30, 0, 0, 0}) // 5-11
                              .bytes({0x11, 0x04, 1, 2, 3, 4})          // 12-17
                              .padTo(256);
    EXPECT_EQ(expected.data(), std::vector<uint8_t>(buffer.begin(), buffer.end()));

    // 66 bytes per PppoeAccount record: three more fit (18 + 198 = 216), a fourth does not.
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(writer.appendRecord(Tag::PppoeAccount));
    EXPECT_EQ(writer.size(), 216u);
    EXPECT_FALSE(writer.appendRecord(Tag::PppoeAccount));
    EXPECT_EQ(writer.size(), 216u);
    EXPECT_TRUE(writer.appendRecord(Tag::Credentials)); // 34 bytes: 250
    EXPECT_TRUE(writer.appendRecord(Tag::NetworkMode)); // 6 bytes: exactly 256
    EXPECT_FALSE(writer.appendRecord(Tag::DeviceKind));
    EXPECT_EQ(writer.size(), 256u);

    writer.restart();
    EXPECT_EQ(writer.size(), 5u);
    EXPECT_EQ(buffer[5], 0);
}

} // namespace
} // namespace tavolix

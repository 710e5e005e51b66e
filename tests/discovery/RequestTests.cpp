#include "ByteImage.h"
#include "ConfigurationStep.h"
#include "Datagram.h"
#include "FakeWorkerUi.h"
#include "WorkerControl.h"

#include <gtest/gtest.h>

namespace tavolix {
namespace {

using test::WireBytes;

std::vector<uint8_t> bytesOf(const RequestBuffer& buffer)
{
    return {buffer.begin(), buffer.end()};
}

TEST(DatagramWriter, WritesTheSearchAndFixedSizesAndChecksCapacity)
{
    EXPECT_EQ(bytesOf(searchRequest()), test::searchRequestImage());
    RequestBuffer buffer;
    buffer.fill(0xAA);
    DatagramWriter writer(buffer);
    EXPECT_EQ(writer.size(), 5u);

    // A short value is zero-padded, a long one cut: the record always has the tag's size.
    const uint8_t shortValue[] = {0x38, 0x30};
    const uint8_t longValue[] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_TRUE(writer.appendRecord(Tag::HttpPort, shortValue));
    ASSERT_TRUE(writer.appendRecord(Tag::IpAddress, longValue));
    const auto expected = WireBytes()
                              .text("VXL83")
                              .record(0x14, 0x05, {0x38, 0x30}) // 5-11
                              .record(0x11, 0x04, {1, 2, 3, 4}) // 12-17
                              .padTo(256);                      // the 0xAA zeroed
    EXPECT_EQ(bytesOf(buffer), expected.data());

    // 66 bytes per PppoeAccount record: three more fit (18 + 198 = 216), a fourth does not.
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(writer.appendRecord(Tag::PppoeAccount));
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

class ConfigurationRequest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DeviceRecord device;
        device.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
        setFieldText(device.name, "cam\xE9ra"); // Latin-1: shown as "caméra"
        setFieldText(device.ipAddress, "192.168.1.10");
        device.httpPort = 80;
        control.table.store(device);

        ui.select(device);
        ui.setFields({{WorkerField::LoginAccount, "admin"}, {WorkerField::LoginPassword, "admin"}});
        ui.setChoiceChecked(WorkerChoice::Dhcp, true);
    }

    ConfigurationOutcome compose() { return composeConfiguration(control, ui, buffer); }

    WorkerControl control;
    test::FakeWorkerUi ui;
    RequestBuffer buffer{};
};

TEST_F(ConfigurationRequest, UnchangedFieldsSendOnlyLoginTargetAndMode)
{
    // The name as shown is unchanged; the MAC field is hidden, so never read.
    ui.setField(WorkerField::Mac, "112233445566");
    ASSERT_EQ(compose(), ConfigurationOutcome::Composed);
    const auto expected = WireBytes()
                              .text("VXL83")                                            // 0-4
                              .textRecord(0x32, 0x20, "YWRtaW46YWRtaW4=")               // 5-38
                              .record(0x10, 0x06, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}) // 39-46
                              .record(0x1F, 0x04, {0xFF, 0xFF, 0x01, 0xFF})             // 47-52
                              .padTo(256); // "admin:admin", target Mac, DHCP
    EXPECT_EQ(bytesOf(buffer), expected.data());

    // Without login fields on the window no credentials are sent.
    ui.setFieldVisible(WorkerField::LoginAccount, false);
    ui.setField(WorkerField::LoginAccount, "");
    ASSERT_EQ(compose(), ConfigurationOutcome::Composed);
    const auto withoutLogin = WireBytes()
                                  .text("VXL83")                                            // 0-4
                                  .record(0x10, 0x06, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}) // 5-12
                                  .record(0x1F, 0x04, {0xFF, 0xFF, 0x01, 0xFF})             // 13-18
                                  .padTo(256);
    EXPECT_EQ(bytesOf(buffer), withoutLogin.data());

    // Neither choice is static; both set both bytes (each alone is in the images).
    const std::vector<uint8_t> neither = {0x1F, 0x04, 0xFF, 0xFF, 0xFF, 0xFF}; // at 13-18
    const std::vector<uint8_t> both = {0x1F, 0x04, 0x01, 0xFF, 0x01, 0xFF};
    for (const bool on : {false, true}) {
        ui.setChoiceChecked(WorkerChoice::Pppoe, on);
        ui.setChoiceChecked(WorkerChoice::Dhcp, on);
        ASSERT_EQ(compose(), ConfigurationOutcome::Composed);
        EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + 13, buffer.begin() + 19),
                  on ? both : neither);
    }
}

TEST_F(ConfigurationRequest, EveryChangedSettingInItsOrder)
{
    // 20-byte logins are held as their first 16 bytes: 44 Base64 characters, 32 sent.
    ui.setFields({
        {WorkerField::LoginAccount, "abcdefghijklmnopqrst"},
        {WorkerField::LoginPassword, "ABCDEFGHIJKLMNOPQRST"},
        {WorkerField::Name, "front-door-camera-0123456789abcd"}, // 32 bytes: 31 are sent
        {WorkerField::PppoeAccount, "user@isp"},
        {WorkerField::PppoePassword, "secret"},
        {WorkerField::IpAddress, "10.0.0.7"},
        {WorkerField::SubnetMask, "255.0.0.0"},
        {WorkerField::Gateway, "10.0.0.1"},
        {WorkerField::HttpPort, "8080"},
    });
    ui.setChoiceChecked(WorkerChoice::Pppoe, true);
    ui.setChoiceChecked(WorkerChoice::Dhcp, false);
    ASSERT_EQ(compose(), ConfigurationOutcome::Composed);

    const auto expected = WireBytes()
                              .text("VXL83")                                              // 0-4
                              .textRecord(0x32, 0x20, "YWJjZGVmZ2hpamtsbW5vcDpBQkNERUZH") // 5-38
                              .record(0x10, 0x06, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E})   // 39-46
                              .textRecord(0x20, 0x1F, "front-door-camera-0123456789abc")  // 47-79
                              .textRecord(0x22, 0x40, "user@isp")           // 80-145 PppoeAccount
                              .textRecord(0x23, 0x10, "secret")             // 146-163 PppoePassword
                              .record(0x11, 0x04, {10, 0, 0, 7})            // 164-169 IpAddress
                              .record(0x12, 0x04, {255, 0, 0, 0})           // 170-175 SubnetMask
                              .record(0x13, 0x04, {10, 0, 0, 1})            // 176-181 Gateway
                              .textRecord(0x14, 0x05, "8080")               // 182-188 HttpPort
                              .record(0x1F, 0x04, {0x01, 0xFF, 0xFF, 0xFF}) // 189-194 PPPoE
                              .padTo(256);
    EXPECT_EQ(bytesOf(buffer), expected.data());
}

// One field typed, the others as the device holds them: a text that passes its check decides
// what follows the target; one that does not is refused with a box, and nothing is sent.
TEST_F(ConfigurationRequest, OneTypedFieldDecidesWhatIsSentOrRefused)
{
    using enum WorkerField;
    const struct
    {
        WorkerField field;
        const char* text;
        std::vector<uint8_t> sent; // between the target's Mac record and the mode, at 47
        std::vector<std::string> messages = {};
    } rows[] = {
        {HttpPort, "0080", {}}, // the same number as the device's 80
        {HttpPort, "65535", {0x14, 0x05, '6', '5', '5', '3', '5'}},
        {HttpPort, "81", {0x14, 0x05, '8', '1', 0, 0, 0}},
        {Mac, "001a2b3c4d5e", {}}, // the device's own address
        {Mac, "001A2B3C4D5E", {}}, // the same in capitals
        {Mac, "112233445566", {0x10, 0x06, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66}},
        {Mac, "AABBCCDDEEFF", {0x10, 0x06, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}},
        {Name, "camér", WireBytes().textRecord(0x20, 0x1F, "cam\xE9r").data()}, // in Latin-1
        {Name, "摄像机", {}, {"NVR: The name has characters the device cannot store !!"}},
        {Mac, "11223344556g", {}, {"NVR: Invalid MAC address !!"}}, // mistyped, not dropped
        {Mac, "", {}, {"NVR: Invalid MAC address !!"}},
        {LoginAccount, "", {}, {"NVR: No Account !!"}}, // the edits wait for the login
        {LoginPassword, "", {}, {"NVR: No Password !!"}},
        {IpAddress, "192.168.1", {}, {"NVR: Invalid IP address !!"}},
        {IpAddress, "192.168.1.256", {}, {"NVR: Invalid IP address !!"}},
        {IpAddress, "", {}, {"NVR: Invalid IP address !!"}},
        {SubnetMask, "255.255.255.0 ", {}, {"NVR: Invalid subnet mask !!"}},
        {Gateway, "gateway", {}, {"NVR: Invalid gateway !!"}},
        {HttpPort, "8080x", {}, {"NVR: Invalid HTTP port !!"}},
        {HttpPort, "0", {}, {"NVR: Invalid HTTP port !!"}},
        {HttpPort, "65536", {}, {"NVR: Invalid HTTP port !!"}},
        {HttpPort, "000081", {}, {"NVR: Invalid HTTP port !!"}}, // does not fit 5 bytes
        {HttpPort, "", {}, {"NVR: Invalid HTTP port !!"}},
    };
    ui.setFieldVisible(Mac, true);
    for (const auto& row : rows) {
        SetUp();
        ui.clearState();
        ui.setField(row.field, row.text);
        const bool refused = !row.messages.empty();
        EXPECT_EQ(compose(),
                  refused ? ConfigurationOutcome::Refused : ConfigurationOutcome::Composed)
            << row.text;
        EXPECT_EQ(ui.state().messageBoxes, row.messages) << row.text;
        if (refused)
            continue;
        std::vector<uint8_t> rest = row.sent; // then DHCP, then zeros
        rest.insert(rest.end(), {0x1F, 0x04, 0xFF, 0xFF, 0x01, 0xFF});
        rest.resize(256 - 47);
        EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + 47, buffer.end()), rest) << row.text;
    }

    SetUp();
    ui.setField(MacGroupCaption, "ffffffffffff"); // no device selected
    EXPECT_EQ(compose(), ConfigurationOutcome::FallBackToSearch);
    // The login is asked for first, a device selected or not.
    ui.setField(LoginAccount, "");
    EXPECT_EQ(compose(), ConfigurationOutcome::Refused);
    ui.setField(LoginAccount, "admin");
    // Stopping while a box is up ends the step: nothing is to be sent.
    ui.setField(LoginPassword, "");
    control.stop = 1;
    EXPECT_EQ(compose(), ConfigurationOutcome::Stopped);
}

} // namespace
} // namespace tavolix

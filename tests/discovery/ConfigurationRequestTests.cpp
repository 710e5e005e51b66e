#include "ConfigurationStep.h"
#include "Datagram.h"
#include "ScriptedWorkerUi.h"
#include "WireBytes.h"
#include "WorkerControl.h"

#include <gtest/gtest.h>

namespace tavolix {
namespace {

using test::WireBytes;

// "admin:admin" in Base64, zero-padded to the 32-byte value.
WireBytes& credentialsRecord(WireBytes& bytes)
{
    return bytes.bytes({0x32, 0x20}).text("YWRtaW46YWRtaW4=").zeros(16);
}

class ConfigurationRequest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DeviceRecord device;
        device.kind = 0;
        device.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
        setFieldText(device.name, "cam-1");
        setFieldText(device.ipAddress, "192.168.1.10");
        setFieldText(device.subnetMask, "255.255.255.0");
        setFieldText(device.gateway, "192.168.1.1");
        device.httpPort = 80;
        device.networkMode = {0xFF, 0xFF, 0x01, 0xFF};
        control.table.store(device);

        // The window as a selection of that device leaves it.
        ui.fields = {
            {WorkerField::MacGroupCaption, "001a2b3c4d5e"},
            {WorkerField::LoginAccount, "admin"},
            {WorkerField::LoginPassword, "admin"},
            {WorkerField::Mac, "001a2b3c4d5e"},
            {WorkerField::Name, "cam-1"},
            {WorkerField::IpAddress, "192.168.1.10"},
            {WorkerField::SubnetMask, "255.255.255.0"},
            {WorkerField::Gateway, "192.168.1.1"},
            {WorkerField::HttpPort, "80"},
            {WorkerField::PppoeAccount, ""},
            {WorkerField::PppoePassword, ""},
        };
        ui.dhcpChecked = true;
    }

    ConfigurationOutcome compose()
    {
        RequestWriter writer(buffer);
        return composeConfiguration(control, ui, writer);
    }

    std::vector<uint8_t> sent() const { return {buffer.begin(), buffer.end()}; }

    WorkerControl control;
    test::ScriptedWorkerUi ui;
    RequestBuffer buffer{};
};

TEST_F(ConfigurationRequest, UnchangedFieldsSendOnlyLoginTargetAndMode)
{
    ASSERT_EQ(compose(), ConfigurationOutcome::Composed);
    WireBytes expected;
    expected.text("VXL83");      // 0-4
    credentialsRecord(expected); // 5-38
    expected
        .bytes({0x10, 0x06, 0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}) // 39-46 target Mac
        .bytes({0x1F, 0x04, 0xFF, 0xFF, 0x01, 0xFF})             // 47-52 NetworkMode DHCP
        .padTo(256);
    EXPECT_EQ(sent(), expected.data());
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ConfigurationRequest, EveryChangedSettingInItsOrder)
{
    ui.fields[WorkerField::Name] = "front-door-camera-0123456789abcd"; // 32 bytes: 31 are sent
    ui.fields[WorkerField::PppoeAccount] = "user@isp";
    ui.fields[WorkerField::PppoePassword] = "secret";
    ui.fields[WorkerField::IpAddress] = "10.0.0.7";
    ui.fields[WorkerField::SubnetMask] = "255.0.0.0";
    ui.fields[WorkerField::Gateway] = "10.0.0.1";
    ui.fields[WorkerField::HttpPort] = "8080";
    ui.pppoeChecked = true;
    ui.dhcpChecked = false;
    ASSERT_EQ(compose(), ConfigurationOutcome::Composed);

    WireBytes expected;
    expected.text("VXL83");
    credentialsRecord(expected);
    expected
        .bytes({0x10, 0x06, 0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}) // target Mac
        .bytes({0x20, 0x1F})
        .text("front-door-camera-0123456789abc") // Name, no terminator
        .bytes({0x22, 0x40})
        .text("user@isp")
        .zeros(56) // PppoeAccount
        .bytes({0x23, 0x10})
        .text("secret")
        .zeros(10)                                         // PppoePassword
        .bytes({0x11, 0x04, 10, 0, 0, 7})                  // IpAddress
        .bytes({0x12, 0x04, 255, 0, 0, 0})                 // SubnetMask
        .bytes({0x13, 0x04, 10, 0, 0, 1})                  // Gateway
        .bytes({0x14, 0x05, 0x38, 0x30, 0x38, 0x30, 0x00}) // HttpPort "8080"
        .bytes({0x1F, 0x04, 0x01, 0xFF, 0xFF, 0xFF})       // NetworkMode PPPoE
        .padTo(256);
    EXPECT_EQ(sent(), expected.data());
}

TEST_F(ConfigurationRequest, PortTextAndModeBytes)
{
    const struct
    {
        const char* port;
        bool pppoe;
        bool dhcp;
        std::vector<uint8_t> tail; // records after the target Mac
    } rows[] = {
        {"80", false, false, {0x1F, 0x04, 0xFF, 0xFF, 0xFF, 0xFF}},  // unchanged, static
        {"0080", false, true, {0x1F, 0x04, 0xFF, 0xFF, 0x01, 0xFF}}, // same number as 80
        {"65535",
         true,
         false,
         {0x14, 0x05, '6', '5', '5', '3', '5', 0x1F, 0x04, 0x01, 0xFF, 0xFF, 0xFF}},
        {"81", true, true, {0x14, 0x05, '8', '1', 0, 0, 0, 0x1F, 0x04, 0x01, 0xFF, 0x01, 0xFF}},
    };
    for (const auto& row : rows) {
        ui.fields[WorkerField::HttpPort] = row.port;
        ui.pppoeChecked = row.pppoe;
        ui.dhcpChecked = row.dhcp;
        ASSERT_EQ(compose(), ConfigurationOutcome::Composed) << row.port;
        const std::vector<uint8_t> tail(buffer.begin() + 47, buffer.begin() + 47 + row.tail.size());
        EXPECT_EQ(tail, row.tail) << row.port;
        EXPECT_EQ(buffer[47 + row.tail.size()], 0) << row.port;
    }
}

TEST_F(ConfigurationRequest, SecondMacOnlyForAVisibleFieldWithANewAddress)
{
    const struct
    {
        bool visible;
        const char* text;
        bool sendsNewMac;
    } rows[] = {
        {false, "112233445566", false}, // hidden field is never read
        {true, "001a2b3c4d5e", false},  // the device's own address
        {true, "001A2B3C4D5E", false},  // the same address in capitals
        {true, "11223344556", false},   // 11 characters
        {true, "1122334455667", false}, // 13 characters
        {true, "11223344556g", false},  // not hex
        {true, "112233445566", true},
        {true, "AABBCCDDEEFF", true}, // capitals are sent as their bytes
    };
    for (const auto& row : rows) {
        ui.macVisible = row.visible;
        ui.fields[WorkerField::Mac] = row.text;
        ASSERT_EQ(compose(), ConfigurationOutcome::Composed) << row.text;
        EXPECT_EQ(buffer[47] == 0x10, row.sendsNewMac) << row.text;
        if (row.sendsNewMac) {
            const auto mac = std::string(row.text) == "AABBCCDDEEFF"
                                 ? std::vector<uint8_t>{0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}
                                 : std::vector<uint8_t>{0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
            EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + 49, buffer.begin() + 55), mac);
        }
    }
}

TEST_F(ConfigurationRequest, FailedChecksFallBackToASearch)
{
    ui.fields[WorkerField::MacGroupCaption] = "ffffffffffff"; // no device selected
    EXPECT_EQ(compose(), ConfigurationOutcome::FallBackToSearch);
    EXPECT_TRUE(ui.messages.empty());

    ui.fields[WorkerField::MacGroupCaption] = "001a2b3c4d5e";
    ui.fields[WorkerField::LoginAccount] = "";
    EXPECT_EQ(compose(), ConfigurationOutcome::FallBackToSearch);
    ui.fields[WorkerField::LoginAccount] = "admin";
    ui.fields[WorkerField::LoginPassword] = "";
    EXPECT_EQ(compose(), ConfigurationOutcome::FallBackToSearch);
    EXPECT_EQ(ui.messages, (std::vector<std::string>{"NVR: No Account !!", "NVR: No Password !!"}));

    // Stopping while the box is up ends the step: nothing is to be sent.
    control.stop = 1;
    ui.fields[WorkerField::LoginPassword] = "";
    EXPECT_EQ(compose(), ConfigurationOutcome::Stopped);
}

TEST_F(ConfigurationRequest, WithoutLoginFieldsNoCredentialsAreSent)
{
    ui.loginVisible = false;
    ui.fields[WorkerField::LoginAccount] = "";
    ASSERT_EQ(compose(), ConfigurationOutcome::Composed);
    const auto expected = WireBytes()
                              .text("VXL83")
                              .bytes({0x10, 0x06, 0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E})
                              .bytes({0x1F, 0x04, 0xFF, 0xFF, 0x01, 0xFF})
                              .padTo(256);
    EXPECT_EQ(sent(), expected.data());
}

TEST_F(ConfigurationRequest, LongLoginsAreCutToTheirCopiesAndTheRecord)
{
    // 20-byte fields are held as their first 16 bytes; 44 Base64 characters, 32 sent.
    ui.fields[WorkerField::LoginAccount] = "abcdefghijklmnopqrst";
    ui.fields[WorkerField::LoginPassword] = "ABCDEFGHIJKLMNOPQRST";
    ASSERT_EQ(compose(), ConfigurationOutcome::Composed);
    const auto expected =
        WireBytes().text("VXL83").bytes({0x32, 0x20}).text("YWJjZGVmZ2hpamtsbW5vcDpBQkNERUZH");
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 39), expected.data());
    EXPECT_EQ(buffer[39], 0x10); // the target Mac follows at once
}

TEST_F(ConfigurationRequest, WrongValuesAreRefusedNotSent)
{
    const struct
    {
        WorkerField field;
        const char* text;
        const char* message;
    } rows[] = {
        {WorkerField::IpAddress, "192.168.1", "NVR: Invalid IP address !!"},
        {WorkerField::IpAddress, "192.168.1.256", "NVR: Invalid IP address !!"},
        {WorkerField::IpAddress, "", "NVR: Invalid IP address !!"},
        {WorkerField::SubnetMask, "255.255.255.0 ", "NVR: Invalid subnet mask !!"},
        {WorkerField::Gateway, "gateway", "NVR: Invalid gateway !!"},
        {WorkerField::HttpPort, "8080x", "NVR: Invalid HTTP port !!"},
        {WorkerField::HttpPort, "0", "NVR: Invalid HTTP port !!"},
        {WorkerField::HttpPort, "65536", "NVR: Invalid HTTP port !!"},
        {WorkerField::HttpPort, "000081", "NVR: Invalid HTTP port !!"}, // does not fit 5 bytes
        {WorkerField::HttpPort, "", "NVR: Invalid HTTP port !!"},
    };
    for (const auto& row : rows) {
        SetUp();
        ui.fields[row.field] = row.text;
        EXPECT_EQ(compose(), ConfigurationOutcome::Refused) << row.text;
        EXPECT_EQ(ui.messages, std::vector<std::string>{row.message}) << row.text;
        ui.messages.clear();
    }
}

TEST_F(ConfigurationRequest, TextsAreCutAtACharacterBoundary)
{
    // 30 ASCII bytes and a two-byte character: 32 bytes, the character does not fit 31.
    ui.fields[WorkerField::Name] = std::string(30, 'n') + "\xc3\xa9";
    ASSERT_EQ(compose(), ConfigurationOutcome::Composed);
    EXPECT_EQ(buffer[47], 0x20);
    EXPECT_EQ(std::string(buffer.begin() + 49, buffer.begin() + 80), std::string(30, 'n') + '\0');
}

} // namespace
} // namespace tavolix

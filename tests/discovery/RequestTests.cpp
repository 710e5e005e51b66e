#include "ByteImage.h"
#include "ConfigurationFields.h"
#include "ConfigurationRequest.h"
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

// The camera every request below configures, with the login "admin:admin" and DHCP asked.
ConfigurationInput cameraInput()
{
    ConfigurationInput input;
    input.device.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    setFieldText(input.device.name, "cam\xE9ra"); // Latin-1: read as "caméra"
    input.device.ipAddress = 0xC0A8010A;          // 192.168.1.10
    input.device.httpPort = 80;
    input.login = ConfigurationLogin{"admin", "admin"};
    input.asked.dhcp = true;
    return input;
}

using Composed = std::variant<std::vector<uint8_t>, std::string>; // the bytes or the refusal

Composed compose(const ConfigurationInput& input)
{
    const auto composed = composeConfigurationRequest(input);
    if (!composed)
        return composed.failure().message;
    return bytesOf(*composed);
}

// The camera's fields as shown, one typed over, through the window's edge and the composer.
Composed composeTyped(std::string ConfigurationFields::*field, const char* text)
{
    ConfigurationInput input = cameraInput();
    ConfigurationFields fields;
    fields.name = "caméra";
    fields.ipAddress = "192.168.1.10";
    fields.httpPort = "80";
    fields.dhcp = true;
    if (field == nullptr)
        fields.mac = text;
    else
        fields.*field = text;
    const auto asked = askedSettingsFrom(fields, input.device);
    if (!asked)
        return asked.failure().message;
    input.asked = *asked;
    return compose(input);
}

// The camera's request as far as its MAC: "admin:admin", then the target.
WireBytes loginAndTarget()
{
    return WireBytes()
        .text("VXL83")                                             // 0-4
        .textRecord(0x32, 0x20, "YWRtaW46YWRtaW4=")                // 5-38
        .record(0x10, 0x06, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}); // 39-46
}

// One setting typed: what follows the target, or the refusal (and nothing sent).
TEST(ConfigurationRequest, OneAskedSettingDecidesWhatIsSentOrRefused)
{
    using F = ConfigurationFields;
    constexpr auto HttpPort = &F::httpPort, Name = &F::name, IpAddress = &F::ipAddress,
                   SubnetMask = &F::subnetMask, Gateway = &F::gateway;
    constexpr std::string F::*Mac = nullptr; // the MAC field, shown
    const struct
    {
        std::string F::*setting;
        const char* text;
        std::vector<uint8_t> sent; // between the target's Mac record and the mode, at 47
        std::string refusal = "";
    } rows[] = {
        {HttpPort, "0080", {}}, // the same number as the device's 80
        {HttpPort, "65535", {0x14, 0x05, '6', '5', '5', '3', '5'}},
        {HttpPort, "81", {0x14, 0x05, '8', '1', 0, 0, 0}},
        {Name, "caméra", {}},            // the device's bytes as read in its code page
        {IpAddress, "192.168.1.10", {}}, // its address as it stands
        {SubnetMask, "", {}},            // none held, none typed
        {Mac, "001a2b3c4d5e", {}},       // the device's own address
        {Mac, "001A2B3C4D5E", {}},       // the same in capitals
        {Mac, "112233445566", {0x10, 0x06, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66}},
        {Mac, "AABBCCDDEEFF", {0x10, 0x06, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}},
        {Name, "camér", WireBytes().textRecord(0x20, 0x1F, "cam\xE9r").data()}, // in Latin-1
        {Name, "摄像机", {}, "The name has characters the device cannot store !!"},
        {Mac, "11223344556g", {}, "Invalid MAC address !!"}, // mistyped, not dropped
        {Mac, "", {}, "Invalid MAC address !!"},
        {IpAddress, "192.168.1", {}, "Invalid IP address !!"},
        {IpAddress, "192.168.1.256", {}, "Invalid IP address !!"},
        {IpAddress, "", {}, "Invalid IP address !!"},
        {SubnetMask, "255.255.255.0 ", {}, "Invalid subnet mask !!"},
        {Gateway, "gateway", {}, "Invalid gateway !!"},
        {HttpPort, "8080x", {}, "Invalid HTTP port !!"},
        {HttpPort, "0", {}, "Invalid HTTP port !!"},
        {HttpPort, "65536", {}, "Invalid HTTP port !!"},
        {HttpPort, "000081", {}, "Invalid HTTP port !!"}, // does not fit 5 bytes
        {HttpPort, "", {}, "Invalid HTTP port !!"},
    };
    for (const auto& row : rows) {
        std::vector<uint8_t> sent = loginAndTarget().data(); // the row's records, DHCP, zeros
        sent.insert(sent.end(), row.sent.begin(), row.sent.end());
        sent.insert(sent.end(), {0x1F, 0x04, 0xFF, 0xFF, 0x01, 0xFF});
        sent.resize(256);
        EXPECT_EQ(composeTyped(row.setting, row.text),
                  row.refusal.empty() ? Composed(sent) : Composed(row.refusal))
            << row.text;
    }
    // The edits wait for the login.
    for (const auto& [login, refusal] :
         {std::pair{ConfigurationLogin{"", "admin"}, "No Account !!"},
          {ConfigurationLogin{"admin", ""}, "No Password !!"}}) {
        ConfigurationInput input = cameraInput();
        input.login = login;
        EXPECT_EQ(compose(input), Composed(refusal));
    }
}

// The window's side: which fields it reads, the login first, the box a refusal shows.
TEST(ConfigurationStep, ReadsTheShownFieldsAfterTheLoginAndShowsARefusalInABox)
{
    using enum WorkerField;
    using enum ConfigurationOutcome;
    WorkerControl control;
    test::FakeWorkerUi ui; // no device selected, the MAC field hidden
    RequestBuffer request{};
    control.table.store(cameraInput().device);
    const auto step = [&] { return composeConfiguration(control, ui, request); };

    // Without a device selected a search is sent. 20-byte logins are held as their first 16 bytes:
    // 44 Base64 characters, 32 sent.
    ui.setFields({{LoginAccount, "abcdefghijklmnopqrst"}, {LoginPassword, "ABCDEFGHIJKLMNOPQRST"}});
    EXPECT_EQ(step(), FallBackToSearch);

    // Each field into its setting, in the records' order; the hidden MAC field is not read.
    ui.setFields({
        {MacGroupCaption, "001a2b3c4d5e"}, // the camera selected
        {Mac, "112233445566"},
        {Name, "front-door-camera-0123456789abcd"}, // 32 bytes: 31 are sent
        {PppoeAccount, "user@isp"},
        {PppoePassword, "secret"},
        {IpAddress, "10.0.0.7"},
        {SubnetMask, "255.0.0.0"},
        {Gateway, "10.0.0.1"},
        {HttpPort, "8080"},
    });
    ui.setChoiceChecked(WorkerChoice::Pppoe, true);
    ASSERT_EQ(step(), Composed);
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
    EXPECT_EQ(bytesOf(request), expected.data());
    ui.setFieldVisible(Mac, true);
    ASSERT_EQ(step(), Composed);
    EXPECT_EQ(std::vector<uint8_t>(request.begin() + 47, request.begin() + 55),
              (std::vector<uint8_t>{0x10, 0x06, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66}));
    // Without login fields on the window no credentials are sent: the target follows the magic.
    ui.setFieldVisible(LoginAccount, false);
    ui.setField(LoginAccount, "");
    ASSERT_EQ(step(), Composed);
    EXPECT_EQ(request[5], 0x10);

    // A refusal shows its box; stopping while the box is up ends the step.
    ui.setField(Gateway, "gateway");
    EXPECT_EQ(step(), Refused);
    EXPECT_EQ(ui.state().messageBoxes.back(), "NVR: Invalid gateway !!");
    control.stop = 1;
    EXPECT_EQ(step(), Stopped);
}

} // namespace
} // namespace tavolix

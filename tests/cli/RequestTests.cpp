// The configuration request tavolixctl sends is the one the window's Submit
// composes for the same field values: byte images, laid out by offset.
#include "ByteImage.h"
#include "DeviceEncoding.h"
#include "RequestFields.h"

#include <gtest/gtest.h>

namespace tavolix::cli {
namespace {

using e2e::ascii;
using e2e::byteImage;

DeviceRecord latin1Camera()
{
    DeviceRecord device;
    device.kind = DeviceKind::WithoutPppoe;
    device.mac = {0x02, 0x00, 0x5e, 0x10, 0x00, 0x07};
    setFieldText(device.name, "cam\xe9ra"); // Latin-1: not UTF-8
    setFieldText(device.ipAddress, "198.18.1.7");
    setFieldText(device.subnetMask, "255.255.255.0");
    setFieldText(device.gateway, "198.18.1.1");
    device.httpPort = 80;
    device.networkMode = {0xFF, 0xFF, 0xFF, 0xFF};
    return device;
}

TEST(RequestFields, SendsOnlyWhatWasAskedInTheWindowsRecordOrder)
{
    const Login login{"admin", "admin"}; // "admin:admin" is YWRtaW46YWRtaW4=
    const struct
    {
        SettingValues asked;
        std::vector<uint8_t> expected;
    } cases[] = {
        // The untouched Latin-1 name is not sent; NetworkMode always is.
        {{{Setting::Ip, "198.18.1.70"}},
         byteImage(256,
                   {
                       {0, ascii("VXL83")},
                       {5, {0x32, 0x20}}, // Credentials, 7-38
                       {7, ascii("YWRtaW46YWRtaW4=")},
                       {39, {0x10, 0x06, 0x02, 0x00, 0x5e, 0x10, 0x00, 0x07}}, // Mac
                       {47, {0x11, 0x04, 198, 18, 1, 70}},                     // IpAddress
                       {53, {0x1F, 0x04, 0xFF, 0xFF, 0xFF, 0xFF}},             // NetworkMode static
                   })},
        // Name, port as digits, DHCP; the unchanged port value 80 is not compared as text.
        {{{Setting::Name, "Lobby"}, {Setting::HttpPort, "8080"}, {Setting::Mode, "dhcp"}},
         byteImage(256,
                   {
                       {0, ascii("VXL83")},
                       {5, {0x32, 0x20}},
                       {7, ascii("YWRtaW46YWRtaW4=")},
                       {39, {0x10, 0x06, 0x02, 0x00, 0x5e, 0x10, 0x00, 0x07}},
                       {47, {0x20, 0x1F}}, // Name, 49-79
                       {49, ascii("Lobby")},
                       {80, {0x14, 0x05, '8', '0', '8', '0', 0x00}}, // HttpPort
                       {87, {0x1F, 0x04, 0xFF, 0xFF, 0x01, 0xFF}},   // NetworkMode DHCP
                   })},
        // A name typed in UTF-8 goes out in the device's own Latin-1, as the window writes it.
        {{{Setting::Name, "cam\xc3\xa9ra 2"}},
         byteImage(256,
                   {
                       {0, ascii("VXL83")},
                       {5, {0x32, 0x20}},
                       {7, ascii("YWRtaW46YWRtaW4=")},
                       {39, {0x10, 0x06, 0x02, 0x00, 0x5e, 0x10, 0x00, 0x07}},
                       {47, {0x20, 0x1F}}, // Name, 49-79
                       {49, {'c', 'a', 'm', 0xE9, 'r', 'a', ' ', '2'}},
                       {80, {0x1F, 0x04, 0xFF, 0xFF, 0xFF, 0xFF}},
                   })},
    };
    const DeviceRecord device = latin1Camera();
    for (const auto& c : cases) {
        std::string problem;
        const auto asked = inDeviceEncoding(device, c.asked, LegacyCodePage::Windows1252, problem);
        ASSERT_TRUE(asked.has_value()) << problem;
        const auto request =
            composeRequest(device, *asked, login, LegacyCodePage::Windows1252, problem);
        ASSERT_TRUE(request.has_value()) << problem;
        EXPECT_EQ(e2e::describeDifference({request->begin(), request->end()}, c.expected), "");
    }
}

TEST(RequestFields, KindAndModeDecideWhatMayChange)
{
    DeviceRecord kind3 = latin1Camera();
    kind3.kind = DeviceKind::ReadOnly;
    DeviceRecord dhcp = latin1Camera();
    dhcp.networkMode = {0xFF, 0xFF, 0x01, 0xFF};
    DeviceRecord kind0 = latin1Camera();
    kind0.kind = DeviceKind::Unstated;
    const struct
    {
        DeviceRecord device;
        SettingValues asked;
        const char* refusal; // "" when allowed
    } cases[] = {
        {kind3, {{Setting::HttpPort, "81"}}, "http_port: a kind 3 device lets nothing be changed"},
        {kind3, {{Setting::HttpPort, "80"}}, ""}, // unchanged is not a change
        {latin1Camera(), {{Setting::Mode, "pppoe"}}, "mode: a kind 1 device cannot use PPPoE"},
        {latin1Camera(), {{Setting::PppoeAccount, "dsl"}}, "a kind 1 device cannot use PPPoE"},
        {kind0, {{Setting::Mode, "pppoe"}, {Setting::PppoeAccount, "dsl"}}, ""},
        {kind0, {{Setting::PppoeAccount, "dsl"}}, "can be set only in pppoe mode"},
        {dhcp,
         {{Setting::Gateway, "198.18.1.254"}},
         "gateway: cannot be set while the mode is dhcp"},
        {dhcp, {{Setting::Gateway, "198.18.1.254"}, {Setting::Mode, "static"}}, ""},
        {latin1Camera(), {{Setting::Ip, "198.18.1.0"}}, "network or broadcast address"},
        {latin1Camera(), {{Setting::Ip, "224.0.0.1"}}, "not an address a device can hold"},
    };
    for (const auto& c : cases) {
        const auto refusals = refusedChanges(c.device, c.asked);
        if (*c.refusal == '\0') {
            EXPECT_TRUE(refusals.empty()) << refusals.front();
            continue;
        }
        ASSERT_EQ(refusals.size(), 1u) << c.refusal;
        EXPECT_NE(refusals.front().find(c.refusal), std::string::npos) << refusals.front();
    }
}

TEST(DeviceEncoding, RefusesWhatTheDevicesEncodingCannotHold)
{
    const DeviceRecord device = latin1Camera();
    const struct
    {
        LegacyCodePage page;
        SettingValues asked;
        const char* problem;
    } cases[] = {
        {LegacyCodePage::Windows1252, {{Setting::Name, "\xe6\x91\x84"}}, "cannot store"},
        // 31 bytes of UTF-8 grow to 33 in GB18030, where U+00DF takes four bytes.
        {LegacyCodePage::Gb18030,
         {{Setting::Name, std::string(29, 'a') + "\xc3\x9f"}},
         "does not fit"},
    };
    for (const auto& c : cases) {
        std::string problem;
        EXPECT_FALSE(inDeviceEncoding(device, c.asked, c.page, problem).has_value());
        EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
    }
}

} // namespace
} // namespace tavolix::cli

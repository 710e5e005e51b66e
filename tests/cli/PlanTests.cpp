// Plans: reading the CSV, checking it against the devices found, and handing
// out addresses; and the configuration request for the values asked.
#include "AddressPlanner.h"
#include "ByteImage.h"
#include "DeviceEncoding.h"
#include "PlanCheck.h"
#include "PlanFile.h"
#include "RequestFields.h"

#include <gmock/gmock.h>

namespace tavolix::cli {
namespace {

using e2e::ascii;
using e2e::byteImage;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

FoundDevice camera(uint8_t last, const char* ip, int kind = 1,
                   std::array<uint8_t, 4> mode = {0xFF, 0xFF, 0xFF, 0xFF})
{
    FoundDevice found;
    found.record.mac = {0x02, 0x00, 0x5e, 0x10, 0x00, last};
    found.record.kind = static_cast<DeviceKind>(kind);
    found.record.networkMode = mode;
    found.record.httpPort = 80;
    setFieldText(found.record.name, "CAM");
    setFieldText(found.record.ipAddress, ip);
    setFieldText(found.record.subnetMask, "255.255.255.0");
    setFieldText(found.record.gateway, "10.0.0.1");
    return found;
}

TEST(PlanFile, NamesEveryBadCellAtOnce)
{
    const struct
    {
        const char* csv;
        const char* error;
    } cases[] = {
        {"name,ip\r\nx,10.0.0.5\r\n", "no mac column"},
        {"mac\r\n02005e10000\r\n", "row 2: mac \"02005e10000\" is not a MAC"},
        {"mac,ip\r\n02005e100001,10.0.0.256\r\n", "row 2: ip \"10.0.0.256\" is not an IPv4"},
        {"mac,mask\r\n02005e100001,255.0.255.0\r\n", "mask \"255.0.255.0\" is not a subnet mask"},
        {"mac,http_port\r\n02005e100001,70000\r\n", "http_port \"70000\" is not a port"},
        {"mac,mode\r\n02005e100001,auto\r\n", "mode \"auto\" is not static, dhcp or pppoe"},
        {"mac,name\r\n02005e100001,12345678901234567890123456789012\r\n", "32 bytes long"},
        {"mac,name\r\n02005e100001,bad\\q\r\n", "backslash"},
        {"mac,name\r\n02005e100001,\"open\r\n", "not closed"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> errors;
        readPlan(c.csv, errors);
        EXPECT_THAT(errors, Contains(HasSubstr(c.error))) << c.csv;
    }
    std::vector<std::string> errors;
    const auto rows = readPlan("MAC-ignored,mac,ip,note\r\nx,02:00:5E:10:00:01,,hello\r\n", errors);
    ASSERT_TRUE(errors.empty());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(rows.front().asked.empty()) << "an empty cell keeps, other columns are ignored";
}

TEST(PlanCheck, RefusesEachKindOfProblemAndWarnsOfAStrayGateway)
{
    const std::vector<FoundDevice> found = {
        camera(1, "10.0.0.11"),    camera(2, "10.0.0.12"),
        camera(3, "10.0.0.13", 3), camera(4, "10.0.0.14", 0, {0xFF, 0xFF, 0x01, 0xFF}), // DHCP
        camera(9, "10.0.0.99"), // never in a plan here
    };
    const struct
    {
        const char* plan;
        const char* error; // "" when the plan is good
        const char* warning;
    } cases[] = {
        {"mac,ip\n02005e100001,10.0.0.21\n02005e100002,10.0.0.22\n", "", ""},
        {"mac,ip\n02005e100007,10.0.0.21\n", "no such device", ""},
        {"mac,ip\n02005e100001,10.0.0.21\n02005e100001,10.0.0.22\n", "rows 2 and 3 both name", ""},
        {"mac,ip\n02005e100001,10.0.0.21\n02005e100002,10.0.0.21\n", "two devices would end", ""},
        {"mac,ip\n02005e100001,10.0.0.12\n02005e100002,\n",
         "two devices would end with IP 10.0.0.12", ""},
        {"mac,ip\n02005e100001,10.0.0.99\n", "held by 02005e100009, which is not in the plan", ""},
        {"mac,mode\n02005e100001,pppoe\n", "a kind 1 device cannot use PPPoE", ""},
        {"mac,pppoe_account\n02005e100001,dsl\n", "a kind 1 device cannot use PPPoE", ""},
        {"mac,pppoe_account\n02005e100004,dsl\n", "can be set only in pppoe mode", ""},
        {"mac,mode,pppoe_account\n02005e100004,pppoe,dsl\n", "", ""},
        {"mac,name\n02005e100003,New\n", "a kind 3 device lets nothing be changed", ""},
        {"mac,ip\n02005e100004,10.0.0.24\n", "cannot be set while the mode is dhcp", ""},
        {"mac,gateway\n02005e100004,10.0.0.254\n", "cannot be set while the mode is dhcp", ""},
        {"mac,ip,mode\n02005e100004,10.0.0.24,static\n", "", ""},
        {"mac,ip\n02005e100001,10.0.0.255\n", "network or broadcast", ""},
        {"mac,ip\n02005e100001,224.0.0.1\n", "not an address a device can hold", ""},
        {"mac,http_port\n02005e100001,0\n", "0 is not a port", ""},
        {"mac,gateway\n02005e100001,10.9.9.1\n", "", "gateway 10.9.9.1 lies outside 10.0.0.0"},
        // A kind 3 device listed unchanged, as a search listing lists it, is fine.
        {"mac,name,ip,http_port\n02005e100003,CAM,10.0.0.13,80\n", "", ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> readErrors;
        const auto rows = readPlan(c.plan, readErrors);
        ASSERT_TRUE(readErrors.empty()) << c.plan;
        const PlanVerdict verdict = checkPlan(rows, found);
        if (*c.error == '\0') {
            EXPECT_THAT(verdict.errors, IsEmpty()) << c.plan;
        } else {
            EXPECT_THAT(verdict.errors, Contains(HasSubstr(c.error))) << c.plan;
        }
        if (*c.warning != '\0') {
            EXPECT_THAT(verdict.warnings, Contains(HasSubstr(c.warning))) << c.plan;
        }
    }
}

TEST(AddressPlanner, HandsOutFreeAddressesInMacOrder)
{
    // Found out of order; .1 and .3 are taken, .0 is the network address.
    const std::vector<FoundDevice> found = {
        camera(3, "10.0.0.3"), camera(1, "192.168.1.108"),
        camera(2, "10.0.0.1", 3), // kind 3: keeps its address, which stays taken
    };
    AddressPlanRequest request;
    request.from = 0x0A000000; // 10.0.0.0
    request.mask = 0xFFFFFF00;
    std::string problem;
    const auto plan = planAddresses(found, request, problem);
    ASSERT_TRUE(plan.has_value()) << problem;
    ASSERT_EQ(plan->devices.size(), 2u);
    EXPECT_EQ(fieldText(plan->devices[0].record.ipAddress), "10.0.0.2");
    EXPECT_EQ(fieldText(plan->devices[1].record.ipAddress), "10.0.0.4");
    EXPECT_EQ(plan->devices[1].record.mac.back(), 3);
    EXPECT_EQ(plan->notes.size(), 1u) << "the kind 3 device is left out, with a note";

    request.from = 0x0A0000FE; // 10.0.0.254, the last host address: one device too many
    EXPECT_FALSE(planAddresses(found, request, problem).has_value());
    EXPECT_THAT(problem, HasSubstr("no free address"));
}

// The configuration request tavolixctl sends is the one the window's Submit
// composes for the same field values: byte images, laid out by offset.
TEST(RequestFields, SendsOnlyWhatWasAskedInTheWindowsRecordOrderAndTheDevicesEncoding)
{
    DeviceRecord device = camera(7, "198.18.1.7").record;
    setFieldText(device.name, "cam\xe9ra"); // Latin-1: not UTF-8
    const Login login{"admin", "admin"};    // "admin:admin" is YWRtaW46YWRtaW4=
    const struct
    {
        SettingValues asked;
        std::vector<uint8_t> expected;
        const char* problem = ""; // what the device's encoding cannot hold
        LegacyCodePage page = LegacyCodePage::Windows1252;
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
        {{{Setting::Name, "\xe6\x91\x84"}}, {}, "cannot store"},
        // 31 bytes of UTF-8 grow to 33 in GB18030, where U+00DF takes four bytes.
        {{{Setting::Name, std::string(29, 'a') + "\xc3\x9f"}},
         {},
         "does not fit",
         LegacyCodePage::Gb18030},
    };
    for (const auto& c : cases) {
        std::string problem;
        const auto asked = inDeviceEncoding(device, c.asked, c.page, problem);
        if (*c.problem != '\0') {
            EXPECT_FALSE(asked.has_value());
            EXPECT_THAT(problem, HasSubstr(c.problem));
            continue;
        }
        ASSERT_TRUE(asked.has_value()) << problem;
        const auto request = composeRequest(device, *asked, login, c.page, problem);
        ASSERT_TRUE(request.has_value()) << problem;
        EXPECT_EQ(e2e::describeDifference({request->begin(), request->end()}, c.expected), "");
    }
}

} // namespace
} // namespace tavolix::cli

// Plans: reading the CSV, checking it against the devices found, and handing
// out addresses.
#include "AddressPlanner.h"
#include "PlanCheck.h"
#include "PlanFile.h"

#include <gtest/gtest.h>

namespace tavolix::cli {
namespace {

FoundDevice device(uint8_t last, const char* ip, int kind = 1,
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

bool mentions(const std::vector<std::string>& texts, const std::string& part)
{
    return std::any_of(texts.begin(), texts.end(),
                       [&](const std::string& t) { return t.find(part) != std::string::npos; });
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
        EXPECT_TRUE(mentions(errors, c.error))
            << c.csv << " -> " << (errors.empty() ? "no error" : errors.front());
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
        device(1, "10.0.0.11"),    device(2, "10.0.0.12"),
        device(3, "10.0.0.13", 3), device(4, "10.0.0.14", 0, {0xFF, 0xFF, 0x01, 0xFF}), // DHCP
        device(9, "10.0.0.99"), // never in a plan here
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
        {"mac,name\n02005e100003,New\n", "a kind 3 device lets nothing be changed", ""},
        {"mac,ip\n02005e100004,10.0.0.24\n", "cannot be set while the mode is dhcp", ""},
        {"mac,ip,mode\n02005e100004,10.0.0.24,static\n", "", ""},
        {"mac,ip\n02005e100001,10.0.0.255\n", "network or broadcast", ""},
        {"mac,http_port\n02005e100001,0\n", "0 is not a port", ""},
        {"mac,gateway\n02005e100001,10.9.9.1\n", "", "gateway 10.9.9.1 lies outside 10.0.0.0"},
        // A kind 3 device listed unchanged, as a search listing lists it, is fine.
        {"mac,name,ip\n02005e100003,CAM,10.0.0.13\n", "", ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> readErrors;
        const auto rows = readPlan(c.plan, readErrors);
        ASSERT_TRUE(readErrors.empty()) << c.plan;
        const PlanVerdict verdict = checkPlan(rows, found);
        if (*c.error == '\0') {
            EXPECT_TRUE(verdict.errors.empty()) << c.plan << " -> " << verdict.errors.front();
        } else {
            EXPECT_TRUE(mentions(verdict.errors, c.error)) << c.plan;
        }
        if (*c.warning != '\0') {
            EXPECT_TRUE(mentions(verdict.warnings, c.warning)) << c.plan;
        }
    }
}

TEST(AddressPlanner, HandsOutFreeAddressesInMacOrder)
{
    // Found out of order; .1 and .3 are taken, .0 is the network address.
    const std::vector<FoundDevice> found = {
        device(3, "10.0.0.3"), device(1, "192.168.1.108"),
        device(2, "10.0.0.1", 3), // kind 3: keeps its address, which stays taken
    };
    AddressPlanRequest request;
    request.from = 0x0A000000; // 10.0.0.0
    request.mask = 0xFFFFFF00;
    request.namePrefix = "cam-";
    std::string problem;
    const auto plan = planAddresses(found, request, problem);
    ASSERT_TRUE(plan.has_value()) << problem;
    ASSERT_EQ(plan->devices.size(), 2u);
    EXPECT_EQ(fieldText(plan->devices[0].record.ipAddress), "10.0.0.2");
    EXPECT_EQ(fieldText(plan->devices[0].record.name), "cam-001");
    EXPECT_EQ(fieldText(plan->devices[1].record.ipAddress), "10.0.0.4");
    EXPECT_EQ(fieldText(plan->devices[1].record.name), "cam-002");
    EXPECT_EQ(plan->devices[1].record.mac.back(), 3);
    EXPECT_EQ(plan->notes.size(), 1u) << "the kind 3 device is left out, with a note";

    request.from = 0x0A0000FE; // 10.0.0.254, the last host address: one device too many
    EXPECT_FALSE(planAddresses(found, request, problem).has_value());
    EXPECT_NE(problem.find("no free address"), std::string::npos) << problem;
}

} // namespace
} // namespace tavolix::cli

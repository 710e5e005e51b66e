#include "DeviceResponses.h"
#include "Namespaces.h"
#include "SoapBody.h"
#include "SoapFault.h"

#include <gtest/gtest.h>

namespace tavolix::onvif {
namespace {

using namespace std::chrono;

// A device's answer: the body in an envelope whose prefixes are not the ones we write.
std::string response(const std::string& body)
{
    return R"(<?xml version="1.0" encoding="UTF-8"?>)"
           R"(<env:Envelope xmlns:env="http://www.w3.org/2003/05/soap-envelope" )"
           R"(xmlns:dev="http://www.onvif.org/ver10/device/wsdl" )"
           R"(xmlns:sch="http://www.onvif.org/ver10/schema" )"
           R"(xmlns:ter="http://www.onvif.org/ver10/error"><env:Body>)" +
           body + "</env:Body></env:Envelope>";
}

TEST(DeviceResponses, ClockAndInformation)
{
    const auto clock = response(
        "<dev:GetSystemDateAndTimeResponse><dev:SystemDateAndTime><sch:DateTimeType>NTP"
        "</sch:DateTimeType><sch:UTCDateTime><sch:Time><sch:Hour>7</sch:Hour><sch:Minute>50"
        "</sch:Minute><sch:Second>45</sch:Second></sch:Time><sch:Date><sch:Year>2010</sch:Year>"
        "<sch:Month>9</sch:Month><sch:Day>16</sch:Day></sch:Date></sch:UTCDateTime>"
        "</dev:SystemDateAndTime></dev:GetSystemDateAndTimeResponse>");
    const auto deviceTime = parseSystemDateAndTime(clock);
    ASSERT_TRUE(deviceTime);
    EXPECT_EQ(*deviceTime, sys_days{year{2010} / 9 / 16} + 7h + 50min + 45s);
    EXPECT_EQ(clockOffset(*deviceTime, *deviceTime - 90s), 90s);
    EXPECT_EQ(clockOffset(*deviceTime, *deviceTime + 900ms), 0s) << "the second told has begun";
    for (const auto& [from, to] : {std::pair{"<sch:Day>16", "<sch:Day>31"}, // 31 September
                                   std::pair{"<sch:Hour>7", "<sch:Hour>24"},
                                   std::pair{"<sch:Year>2010", "<sch:Year>9999"}}) {
        auto bad = clock;
        bad.replace(bad.find(from), std::string_view(from).size(), to);
        EXPECT_FALSE(parseSystemDateAndTime(bad)) << to;
    }
    EXPECT_EQ(parseDeviceInformation(response(
                  "<dev:GetDeviceInformationResponse><dev:Manufacturer>Acme</dev:Manufacturer>"
                  "<dev:Model>IPC-B140</dev:Model><dev:FirmwareVersion> V5.5.0 build 170721"
                  "</dev:FirmwareVersion><dev:SerialNumber>D1234</dev:SerialNumber>"
                  "<dev:HardwareId>88</dev:HardwareId></dev:GetDeviceInformationResponse>")),
              (DeviceInformation{"Acme", "IPC-B140", "V5.5.0 build 170721", "D1234", "88"}));
}

// An interface's every IPv4 address, entries that do not parse left out, at most the bound.
TEST(DeviceResponses, NetworkSettings)
{
    const auto entry = [](std::string origin, std::string address, std::string prefix) {
        return "<sch:" + origin + "><sch:Address>" + address + "</sch:Address><sch:PrefixLength>" +
               prefix + "</sch:PrefixLength></sch:" + origin + ">";
    };
    const auto interfaces = [](const std::string& config) {
        return parseNetworkInterfaces(response(
            R"(<dev:GetNetworkInterfacesResponse><dev:NetworkInterfaces token="eth0">)"
            "<sch:Enabled>true</sch:Enabled><sch:Info><sch:Name>eth0</sch:Name><sch:HwAddress>"
            "00:1A:2B:3C:4D:5E</sch:HwAddress></sch:Info><sch:IPv4><sch:Enabled>true"
            "</sch:Enabled><sch:Config>" +
            config +
            "<sch:DHCP>1</sch:DHCP></sch:Config></sch:IPv4></dev:NetworkInterfaces>"
            R"(<dev:NetworkInterfaces token="wlan"><sch:Info><sch:HwAddress>00-1a-2b-3c-4d)"
            "</sch:HwAddress></sch:Info></dev:NetworkInterfaces></"
            "dev:GetNetworkInterfacesResponse>"));
    };
    const std::vector<DeviceAddress> addresses = {{0xC0A80140, 24},
                                                  {0x0A010040, 16},
                                                  {0xA9FE0709, 16, AddressOrigin::LinkLocal},
                                                  {0x0A000007, 8, AddressOrigin::Dhcp}};
    const MacAddress mac{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    EXPECT_EQ(
        interfaces(entry("Manual", "192.168.1.64", "24") + entry("Manual", "10.1.0.64", "16") +
                   entry("Manual", "bad", "24") + entry("Manual", "10.2.0.1", "33") +
                   entry("LinkLocal", "169.254.7.9", "16") + entry("FromDHCP", "10.0.0.7", "8")),
        (std::vector<NetworkInterface>{{"eth0", true, mac, true, true, addresses},
                                       {"wlan", false, {}, false, false, {}}}));
    std::string many;
    for (int i = 0; i < 20; ++i)
        many += entry("Manual", "10.9.0.1", "24");
    EXPECT_EQ(interfaces(many)->front().addresses.size(), maxAddressesPerInterface);
    EXPECT_EQ(parseNetworkDefaultGateway(response(
                  "<dev:GetNetworkDefaultGatewayResponse><dev:NetworkGateway><sch:IPv4Address>"
                  "192.168.1.1</sch:IPv4Address><sch:IPv4Address>bad</sch:IPv4Address>"
                  "</dev:NetworkGateway></dev:GetNetworkDefaultGatewayResponse>")),
              std::vector<Ipv4>{0xC0A80101});
    EXPECT_EQ(parseNetworkProtocols(response(
                  "<dev:GetNetworkProtocolsResponse><dev:NetworkProtocols><sch:Name>HTTP"
                  "</sch:Name><sch:Enabled>true</sch:Enabled><sch:Port>80</sch:Port><sch:Port>"
                  "8080</sch:Port></dev:NetworkProtocols><dev:NetworkProtocols><sch:Name>RTSP"
                  "</sch:Name><sch:Enabled>false</sch:Enabled><sch:Port>70000</sch:Port>"
                  "</dev:NetworkProtocols></dev:GetNetworkProtocolsResponse>")),
              (std::vector<NetworkProtocol>{{"HTTP", true, {80, 8080}}, {"RTSP", false, {}}}));
    EXPECT_EQ(
        parseScopes(response(
            "<dev:GetScopesResponse><dev:Scopes><sch:ScopeDef>Fixed</sch:ScopeDef>"
            "<sch:ScopeItem>onvif://www.onvif.org/type/ptz</sch:ScopeItem></dev:Scopes>"
            "<dev:Scopes><sch:ScopeDef>Configurable</sch:ScopeDef><sch:ScopeItem>"
            "onvif://www.onvif.org/name/cam</sch:ScopeItem></dev:Scopes></dev:GetScopesResponse>")),
        (std::vector<Scope>{{true, "onvif://www.onvif.org/type/ptz"},
                            {false, "onvif://www.onvif.org/name/cam"}}));
}

TEST(DeviceResponses, RefusedAnswers)
{
    const std::string rows[] = {
        // the right local name in the schema namespace, not the device service's
        response("<sch:GetScopesResponse/>"),
        response("<dev:GetScopesResponse>").substr(0, 200), // truncated
        // an entity the parser would expand if it read the DTD
        R"(<?xml version="1.0"?><!DOCTYPE env:Envelope [<!ENTITY big "scope">]>)" +
            response("<dev:GetScopesResponse/>").substr(38),
        response("<dev:GetScopesResponse/>" + std::string(maxResponseBytes, ' ')),
        R"(<Envelope xmlns="http://schemas.xmlsoap.org/soap/envelope/"><Body>)"
        "<GetScopesResponse xmlns=\"http://www.onvif.org/ver10/device/wsdl\"/></Body></Envelope>",
    };
    for (const auto& text : rows)
        EXPECT_FALSE(parseScopes(text)) << text.substr(0, 160);
    // The default namespace counts like a prefix.
    EXPECT_TRUE(parseScopes(
        response(R"(<GetScopesResponse xmlns=")" + std::string(ns::device) + R"("/>)")));
}

TEST(SoapFault, NotAuthorizedByNamespace)
{
    const auto fault = [](const std::string& subcode) {
        const std::string code = "<env:Code><env:Value>env:Sender</env:Value><env:Subcode>"
                                 "<env:Value>" +
                                 subcode + "</env:Value></env:Subcode></env:Code>";
        return parseFault(response("<env:Fault>" + code +
                                   "<env:Reason><env:Text xml:lang=\"en\">"
                                   "Sender not Authorized</env:Text></env:Reason></env:Fault>"));
    };
    const SoapFault notAuthorized{{std::string(ns::soap), "Sender"},
                                  {{std::string(ns::error), "NotAuthorized"}},
                                  "Sender not Authorized"};
    EXPECT_EQ(fault("ter:NotAuthorized"), notAuthorized);
    EXPECT_TRUE(notAuthorized.isNotAuthorized());
    EXPECT_FALSE(fault("sch:NotAuthorized")->isNotAuthorized()); // other namespace
    EXPECT_FALSE(fault("ter:InvalidArgVal")->isNotAuthorized());
    EXPECT_FALSE(parseFault(response("<dev:GetScopesResponse/>")));
}

} // namespace
} // namespace tavolix::onvif

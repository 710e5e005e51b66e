#include "DeviceCalls.h"
#include "OnvifChange.h"
#include "OnvifRules.h"
#include "Probe.h"
#include "Random.h"
#include "Security.h"

#include <gtest/gtest.h>

namespace tavolix::onvif {
namespace {

using namespace std::chrono;

constexpr const char* xmlDeclaration = R"(<?xml version="1.0" encoding="UTF-8"?>)";

// The nonce of the published example, LKqI6G/AikKCQrN0zqZFlg== in Base64.
constexpr Nonce exampleNonce = {0x2C, 0xAA, 0x88, 0xE8, 0x6F, 0xC0, 0x8A, 0x42,
                                0x82, 0x42, 0xB3, 0x74, 0xCE, 0xA6, 0x45, 0x96};

// A request's body, without envelope.
std::string bodyOf(const DeviceCall& call)
{
    const auto text = requestEnvelope(call);
    const auto start = text.find("<s:Body>") + 8;
    EXPECT_EQ(text.find("<s:Header"), std::string::npos);
    return text.substr(start, text.rfind("</s:Body>") - start);
}

TEST(Probe, TextOfEachKind)
{
    const std::string id = "uuid:0a6dc791-2f2c-4b2b-9a7e-4c5d1e0f1a2b";
    EXPECT_EQ(
        probeMessage(ProbeKind::NetworkVideoTransmitter, id),
        std::string(xmlDeclaration) +
            R"(<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" )"
            R"(xmlns:a="http://schemas.xmlsoap.org/ws/2004/08/addressing" )"
            R"(xmlns:d="http://schemas.xmlsoap.org/ws/2005/04/discovery" )"
            R"(xmlns:dn="http://www.onvif.org/ver10/network/wsdl"><s:Header>)"
            R"(<a:MessageID>uuid:0a6dc791-2f2c-4b2b-9a7e-4c5d1e0f1a2b</a:MessageID>)"
            R"(<a:To s:mustUnderstand="1">urn:schemas-xmlsoap-org:ws:2005:04:discovery</a:To>)"
            R"(<a:Action s:mustUnderstand="1">)"
            R"(http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe</a:Action></s:Header>)"
            R"(<s:Body><d:Probe><d:Types>dn:NetworkVideoTransmitter</d:Types></d:Probe>)"
            R"(</s:Body></s:Envelope>)");
    const auto device = probeMessage(ProbeKind::Device, id);
    EXPECT_NE(device.find(R"(xmlns:tds="http://www.onvif.org/ver10/device/wsdl")"),
              std::string::npos);
    EXPECT_NE(device.find("<d:Types>tds:Device</d:Types>"), std::string::npos);

    const std::string first = *randomMessageId(); // version 4, variant 10xx
    EXPECT_TRUE(first.size() == 41 && first.starts_with("uuid:") && first[19] == '4' &&
                std::string_view("89ab").find(first[24]) != std::string_view::npos)
        << first;
    EXPECT_NE(first, *randomMessageId());
}

TEST(Security, PublishedDigestExampleAndCreatedText)
{
    EXPECT_EQ(passwordDigest(exampleNonce, "2010-09-16T07:50:45Z", "userpassword"),
              "tuOSpGlFlIXsozq4HFNeeGeFLEI=");
    const auto time = sys_days{year{2010} / 9 / 16} + 7h + 50min + 45s + 999ms;
    EXPECT_EQ(createdText(time), "2010-09-16T07:50:45Z"); // seconds cut, not rounded
    EXPECT_NE(freshStamp(-5h)->nonce, freshStamp(-5h)->nonce);
}

TEST(DeviceCalls, SecuredEnvelopeImage)
{
    const Login login{"admin", "secret"};
    const TokenStamp stamp{exampleNonce, "2010-09-16T07:50:45Z"};
    const InterfaceChange change{"eth0", true, false, 0xC0A80114, 24};
    EXPECT_EQ(
        requestEnvelope(setNetworkInterfaces(change), login, stamp),
        std::string(xmlDeclaration) +
            R"(<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" )"
            R"(xmlns:tds="http://www.onvif.org/ver10/device/wsdl" )"
            R"(xmlns:tt="http://www.onvif.org/ver10/schema"><s:Header>)"
            R"(<wsse:Security s:mustUnderstand="1" )"
            R"(xmlns:wsse="http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd" )"
            R"(xmlns:wsu="http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd">)"
            R"(<wsse:UsernameToken><wsse:Username>admin</wsse:Username>)"
            R"(<wsse:Password Type="http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-username-token-profile-1.0#PasswordDigest">)"
            R"(trya9R1+FQonLvIcqoC+Vgr+duo=</wsse:Password>)"
            R"(<wsse:Nonce EncodingType="http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-soap-message-security-1.0#Base64Binary">)"
            R"(LKqI6G/AikKCQrN0zqZFlg==</wsse:Nonce><wsu:Created>2010-09-16T07:50:45Z</wsu:Created>)"
            R"(</wsse:UsernameToken></wsse:Security></s:Header><s:Body><tds:SetNetworkInterfaces>)"
            R"(<tds:InterfaceToken>eth0</tds:InterfaceToken><tds:NetworkInterface>)"
            R"(<tt:Enabled>true</tt:Enabled><tt:IPv4><tt:Enabled>true</tt:Enabled><tt:Manual>)"
            R"(<tt:Address>192.168.1.20</tt:Address><tt:PrefixLength>24</tt:PrefixLength>)"
            R"(</tt:Manual><tt:DHCP>false</tt:DHCP></tt:IPv4></tds:NetworkInterface>)"
            R"(</tds:SetNetworkInterfaces></s:Body></s:Envelope>)");
}

// The body of each call; a call without a login has no header at all.
TEST(DeviceCalls, RequestBodies)
{
    EXPECT_EQ(bodyOf(getSystemDateAndTime()), "<tds:GetSystemDateAndTime/>");
    EXPECT_EQ(bodyOf(setNetworkInterfaces({"if 1", false, true})),
              "<tds:SetNetworkInterfaces><tds:InterfaceToken>if 1</tds:InterfaceToken>"
              "<tds:NetworkInterface><tt:Enabled>false</tt:Enabled><tt:IPv4><tt:Enabled>true"
              "</tt:Enabled><tt:DHCP>true</tt:DHCP></tt:IPv4></tds:NetworkInterface>"
              "</tds:SetNetworkInterfaces>");
    EXPECT_EQ(bodyOf(setNetworkDefaultGateway({0x0A000001, 0x0A0000FE})),
              "<tds:SetNetworkDefaultGateway><tds:IPv4Address>10.0.0.1</tds:IPv4Address>"
              "<tds:IPv4Address>10.0.0.254</tds:IPv4Address></tds:SetNetworkDefaultGateway>");
    EXPECT_EQ(bodyOf(setScopes({"onvif://www.onvif.org/name/a&b<c"})),
              "<tds:SetScopes><tds:Scopes>onvif://www.onvif.org/name/a&amp;b&lt;c</tds:Scopes>"
              "</tds:SetScopes>");
}

// The row lists the address the device answered at where its interface has it, else DHCP's
// while DHCP is on, else the first manual one; its addresses all.
TEST(OnvifDevice, RowListsTheAddressItAnsweredAt)
{
    OnvifDevice device;
    const std::vector<DeviceAddress> addresses = {
        {0xC0A80140, 24}, {0x0A010040, 16}, {0x0A000007, 8, AddressOrigin::Dhcp}};
    device.interfaces = {{"eth0", true, MacAddress{2, 0, 0x5e, 0, 0, 1}, true, true, addresses}};
    for (const auto& [sender, dhcp, ip, mask] :
         {std::tuple{0x0A010040U, true, 0x0A010040U, 0xFFFF0000U},
          {0xC6120014U, true, 0x0A000007U, 0xFF000000U}, // behind NAT
          {0xC6120014U, false, 0xC0A80140U, 0xFFFFFF00U}}) {
        device.service.host = sender;
        device.interfaces->front().dhcp = dhcp;
        const Device row = deviceRow(device);
        EXPECT_EQ(std::tuple(row.ip, row.mask), std::tuple(ip, mask)) << ipv4Text(sender);
        EXPECT_EQ(row.addresses, addresses);
    }
}

// What the calls send back unchanged is what was read; their order is OnvifCtlTests'.
TEST(OnvifChange, CallsSendBackWhatTheyDoNotChange)
{
    OnvifDevice device;
    const std::vector<DeviceAddress> manual = {{0x0A000005, 24}, {0x0A000006, 24}};
    device.interfaces = {{"eth0", true, MacAddress{2, 0, 0x5e, 0, 0, 1}, true, false, manual}};
    device.protocols = {{{"HTTP", true, {80, 8000}}, {"RTSP", false, {}}}};
    device.scopes = {{{true, "onvif://www.onvif.org/type/video_encoder"},
                      {false, "onvif://www.onvif.org/name/Old"},
                      {false, "onvif://www.onvif.org/location/lab"}}};
    DeviceSettings asked;
    asked.name = "Hall 2/B";
    asked.mask = 0xFFFF0000;
    asked.httpPort = 8080;
    const auto calls = changeCalls(device, asked);
    ASSERT_TRUE(calls && calls->size() == 3);
    EXPECT_EQ(bodyOf((*calls)[0].call),
              "<tds:SetScopes><tds:Scopes>onvif://www.onvif.org/name/Hall%202%2FB</tds:Scopes>"
              "<tds:Scopes>onvif://www.onvif.org/location/lab</tds:Scopes></tds:SetScopes>");
    EXPECT_EQ(bodyOf((*calls)[1].call),
              "<tds:SetNetworkProtocols><tds:NetworkProtocols><tt:Name>HTTP</tt:Name>"
              "<tt:Enabled>true</tt:Enabled><tt:Port>8080</tt:Port><tt:Port>8000</tt:Port>"
              "</tds:NetworkProtocols><tds:NetworkProtocols><tt:Name>RTSP</tt:Name>"
              "<tt:Enabled>false</tt:Enabled></tds:NetworkProtocols></tds:SetNetworkProtocols>");
    // The one address replaces both manual ones; the service moves with the HTTP port.
    const std::string body = bodyOf((*calls)[2].call);
    EXPECT_NE(body.find("<tt:Manual><tt:Address>10.0.0.5</tt:Address><tt:PrefixLength>16<"),
              body.npos);
    EXPECT_EQ(body.find("10.0.0.6"), body.npos);
    EXPECT_EQ((*calls)[1].portAfter, 8080);
    device.service.scheme = Scheme::Https; // reached at its https port, which does not move
    EXPECT_EQ((*changeCalls(device, asked))[1].portAfter, 0);
    EXPECT_EQ(withPort(device.service, 8443).url, "https://0.0.0.0:8443/");
    device.protocols = {{{"RTSP", true, {554}}}};
    DeviceSettings port;
    port.httpPort = 81;
    EXPECT_EQ(changeCalls(device, port).failure().message, "it lists no HTTP port to change");
    // Two HTTP entries, the first without ports: the one the service answers on is changed.
    device.service.scheme = Scheme::Http;
    device.protocols = {{{"HTTP", true, {}}, {"HTTP", true, {8000, 80}}}};
    EXPECT_EQ(deviceRow(device).httpPort, 80);
    EXPECT_NE(
        bodyOf((*changeCalls(device, port))[0].call)
            .find("<tt:Enabled>true</tt:Enabled></tds:NetworkProtocols><tds:NetworkProtocols>"
                  "<tt:Name>HTTP</tt:Name><tt:Enabled>true</tt:Enabled><tt:Port>8000</tt:Port>"
                  "<tt:Port>81</tt:Port>"),
        std::string::npos);
}

// Answers whose lists are empty: no interface, one without IPv4 addresses, an HTTP entry without
// ports, no protocols, scopes or gateway. The row is made of what there is; a change that needs
// what is missing is refused before anything is sent, the rest goes.
TEST(OnvifChange, EmptyListsRefuseOnlyTheChangesThatNeedThem)
{
    const NetworkInterface bare{"eth0", true, MacAddress{2, 0, 0x5e, 0, 0, 1}, true, false, {}};
    const std::vector<NetworkProtocol> http = {{"HTTP", true, {80}}};
    DeviceSettings ip, ipAndMask, port, nameAndGateway;
    ip.ip = ipAndMask.ip = 0x0A000009;
    ipAndMask.mask = 0xFFFFFF00;
    port.httpPort = 81;
    nameAndGateway.name = "Gate";
    nameAndGateway.gateway = 0x0A000001;
    const struct
    {
        std::vector<NetworkInterface> interfaces;
        std::vector<NetworkProtocol> protocols;
        DeviceSettings asked;
        std::string expected; // the calls' count, or the refusal
    } rows[] = {
        {{}, http, ip, "its network interface was not read"},
        {{bare},
         http,
         ip,
         "mask: the device lists no IPv4 address to keep the mask of; give the mask too"},
        {{bare}, http, ipAndMask, "1 calls"},
        {{bare}, {{"HTTP", true, {}}}, port, "it lists no HTTP port to change"},
        {{bare}, {}, port, "it lists no HTTP port to change"},
        {{bare}, http, nameAndGateway, "2 calls"},
    };
    for (const auto& row : rows) {
        OnvifDevice device;
        device.service.host = 0x0A000005;
        device.interfaces = row.interfaces;
        device.protocols = row.protocols;
        device.gateways = std::vector<Ipv4>{};
        device.scopes = std::vector<Scope>{};
        const Device listed = deviceRow(device);
        EXPECT_EQ(std::tuple(listed.ip, listed.mask, listed.gateway),
                  std::tuple(0x0A000005U, 0U, 0U));
        auto checked = checkOnvifChange(listed, row.asked, {});
        const auto calls = checked ? changeCalls(device, row.asked)
                                   : Result<std::vector<ChangeCall>>(checked.failure());
        EXPECT_EQ(calls ? std::to_string(calls->size()) + " calls" : calls.failure().message,
                  row.expected);
    }
}

} // namespace
} // namespace tavolix::onvif

#include "EndpointMac.h"
#include "Namespaces.h"
#include "Probe.h"
#include "ProbeMatch.h"
#include "Scopes.h"
#include "ServiceAddress.h"

#include <gtest/gtest.h>

namespace tavolix::onvif {
namespace {

// A ProbeMatches answer with one match, as cameras send them; extra declares more namespaces on
// the envelope, dn is where the dn prefix points.
std::string answer(const std::string& types, const std::string& scopes, const std::string& xaddrs,
                   const std::string& extra = "", const std::string& dn = std::string(ns::network))
{
    return R"(<?xml version="1.0" encoding="UTF-8"?><SOAP-ENV:Envelope )"
           R"(xmlns:SOAP-ENV="http://www.w3.org/2003/05/soap-envelope" )"
           R"(xmlns:wsa="http://schemas.xmlsoap.org/ws/2004/08/addressing" )"
           R"(xmlns:d="http://schemas.xmlsoap.org/ws/2005/04/discovery" xmlns:dn=")" +
           dn + R"(" xmlns:tds="http://www.onvif.org/ver10/device/wsdl" )" + extra +
           R"(><SOAP-ENV:Header><wsa:MessageID>uuid:a-1</wsa:MessageID><wsa:RelatesTo>uuid:probe-7)"
           R"(</wsa:RelatesTo><d:AppSequence InstanceId="3" MessageNumber="5"/></SOAP-ENV:Header>)"
           R"(<SOAP-ENV:Body><d:ProbeMatches><d:ProbeMatch><wsa:EndpointReference><wsa:Address>)"
           R"(urn:uuid:4f1a0e2c-0001</wsa:Address></wsa:EndpointReference><d:Types>)" +
           types + "</d:Types><d:Scopes>\n  " + scopes + "\n</d:Scopes><d:XAddrs>" + xaddrs +
           "</d:XAddrs><d:MetadataVersion>10</d:MetadataVersion></d:ProbeMatch></d:ProbeMatches>"
           "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

const std::string cameraScopes =
    "onvif://www.onvif.org/type/video_encoder onvif://www.onvif.org/name/Front%20Door%1B%5b2J "
    "onvif://www.onvif.org/hardware/IPC-B140 onvif://www.onvif.org/location/country/nowhere";
const std::string camera = answer("dn:NetworkVideoTransmitter tds:Device", cameraScopes,
                                  "http://192.168.1.64/onvif/device_service");
const Subnet homeSubnet{0xC0A80101, 0xFFFFFF00}; // 192.168.1.1/24

// A camera's answer read whole; its name keeps the terminal escape it decodes to, as bytes.
TEST(ProbeMatch, ReadsACameraAnswer)
{
    const auto parsed = parseProbeMatches(camera);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->relatesTo, "uuid:probe-7");
    const ProbeMatch expected{"urn:uuid:4f1a0e2c-0001",
                              {{std::string(ns::network), "NetworkVideoTransmitter"},
                               {std::string(ns::device), "Device"}},
                              splitList(cameraScopes, 9, 99),
                              {"http://192.168.1.64/onvif/device_service"},
                              10};
    EXPECT_EQ(parsed->matches, std::vector{expected});
    EXPECT_EQ(scopeValue(expected.scopes, "name"), "Front Door\x1B[2J");
    EXPECT_EQ(scopeValue(expected.scopes, "hardware"), "IPC-B140");
    EXPECT_FALSE(scopeValue(expected.scopes, "nam"));
    EXPECT_EQ(percentDecoded("100% %zz %4 %00"), std::string("100% %zz %4 \0", 13));
}

// Rows of answers: whether they parse, whether the match is an ONVIF device, its XAddr count.
TEST(ProbeMatch, AnswerRows)
{
    const auto wsdp = R"(xmlns:wsdp="http://schemas.xmlsoap.org/ws/2006/02/devprof")";
    std::string manyXAddrs;
    for (int i = 1; i <= 20; ++i)
        manyXAddrs += "http://10.0.0." + std::to_string(i) + "/ ";
    const std::string oversize = camera + "<!--" + std::string(maxProbeMatchBytes, 'x') + "-->";
    const std::string doctype =
        R"(<?xml version="1.0"?><!DOCTYPE e [<!ENTITY x "http://192.168.1.66/">]>)" +
        camera.substr(camera.find("<SOAP-ENV:Envelope"));
    // The answer with a namespace declared on an inner element rather than on the envelope.
    const auto declaredOn = [](std::string text, const std::string& element,
                               const std::string& prefix, std::string_view uri) {
        const std::string tag = "<" + element + ">";
        return text.replace(text.find(tag), tag.size(),
                            "<" + element + " xmlns:" + prefix + "=\"" + std::string(uri) + "\">");
    };
    const struct
    {
        const char* what;
        std::string text;
        bool parses;
        bool onvif = false;
        std::size_t xaddrCount = 1;
    } rows[] = {
        {"Windows host", answer("wsdp:Device", "", "http://192.168.1.30:5357/a", wsdp), true,
         false},
        {"unusual prefix bound to ONVIF",
         answer("nvt:NetworkVideoTransmitter", "", "http://192.168.1.9/x",
                R"(xmlns:nvt="http://www.onvif.org/ver10/network/wsdl")"),
         true, true},
        {"right local name, wrong namespace",
         answer("dn:NetworkVideoTransmitter", "", "http://192.168.1.9/x", "",
                "http://example.com/network"),
         true, false},
        {"unbound prefix", answer("zz:NetworkVideoTransmitter", "", ""), true, false, 0},
        {"prefix bound on Types",
         declaredOn(answer("nv:NetworkVideoTransmitter", "", ""), "d:Types", "nv", ns::network),
         true, true, 0},
        {"prefix bound on Types, rebinding the envelope's",
         declaredOn(answer("dn:NetworkVideoTransmitter", "", "", "", "http://example.com/n"),
                    "d:Types", "dn", ns::network),
         true, true, 0},
        {"prefix bound on Scopes only",
         declaredOn(answer("nv:NetworkVideoTransmitter", "", ""), "d:Scopes", "nv", ns::network),
         true, false, 0},
        {"onvif scope alone", answer("", "ONVIF://www.onvif.org/Profile/S", ""), true, true, 0},
        {"many XAddrs capped", answer("tds:Device", "", manyXAddrs), true, true, maxXAddrs},
        {"truncated", camera.substr(0, camera.size() / 2), false},
        {"over the size limit", oversize, false},
        {"DOCTYPE with an entity", doctype, false},
        {"a probe is no answer", probeMessage(ProbeKind::Device, "uuid:1"), false},
    };
    for (const auto& row : rows) {
        const auto parsed = parseProbeMatches(row.text);
        ASSERT_EQ(parsed.has_value(), row.parses) << row.what;
        if (!parsed)
            continue;
        ASSERT_EQ(parsed->matches.size(), 1U) << row.what;
        EXPECT_EQ(isOnvifMatch(parsed->matches[0]), row.onvif) << row.what;
        EXPECT_EQ(parsed->matches[0].xaddrs.size(), row.xaddrCount) << row.what;
    }
}

// XAddrs refused: no device service can be reached as they say.
TEST(ServiceAddress, RefusedUrls)
{
    for (const std::string& bad : std::vector<std::string>{
             "ftp://1.2.3.4/", "http://user@1.2.3.4/", "http://1.2.3.4:0/", "http://1.2.3.4:65536/",
             "http://[fe80::1/", "http://[fe80::1]x/", "http://[cam]/", "http://a..b/", "http:///x",
             "http://cam\x1b[2J/", "http://" + std::string(254, 'a')})
        EXPECT_FALSE(parseServiceUrl(bad)) << bad;
}

// XAddrs of a device that answered from 192.168.1.64 (on the link) or 10.0.0.9: the service
// reached, and the host the XAddr named where that was not the sender.
TEST(ServiceAddress, ChosenForTheSender)
{
    const Ipv4 here = 0xC0A80140, there = 0x0A000009;
    const std::tuple<const char*, Ipv4, const char*> rows[] = {
        {"http://192.168.1.64/onvif", here, "http://192.168.1.64/onvif "},
        {"http://127.0.0.1:8080/o", here, "http://192.168.1.64:8080/o 127.0.0.1"},
        {"http://203.0.113.7/a http://192.168.1.64:81/b", here, "http://192.168.1.64:81/b "},
        {"http://10.0.0.5?a http://cam.local/b", here, "http://192.168.1.64/?a 10.0.0.5"},
        {"http://[fe80::1]/6 http://cam_1.local/n", here, "http://192.168.1.64/n cam_1.local"},
        {"http://[fe80::1%25eth0]:81/6", here, "http://192.168.1.64:81/6 [fe80::1%25eth0]"},
        {"http://192.168.1.64/h https://192.168.1.64/s", here, "https://192.168.1.64/s "},
        {"http://10.0.0.5/h http://10.0.0.6/ https://10.0.0.5:8443/s", here,
         "https://192.168.1.64:8443/s 10.0.0.5"},
        {"https://192.168.1.64:443/s", there, "https://10.0.0.9/s 192.168.1.64"},
        {"ftp://192.168.1.64/ http://user@192.168.1.64/", here, ""},
        {"http://127.0.0.1/", 0x7F000001, ""},
        {"http://224.0.0.1/", 0xE0000001, ""},
    };
    for (const auto& [xaddrs, sender, expected] : rows) {
        const auto chosen = chooseServiceAddress(splitList(xaddrs, maxXAddrs, maxUriBytes), sender,
                                                 std::span(&homeSubnet, 1));
        EXPECT_EQ(chosen ? chosen->url + " " + chosen->xaddrHost : "", expected) << xaddrs;
        EXPECT_EQ(chosen && chosen->onLink, chosen && sender == here) << xaddrs;
    }
}

// What an unread device's answer tells of its MAC: "" where it tells nothing.
TEST(EndpointMac, UuidNodeAndLinkLocalInterfaceId)
{
    using Parse = std::optional<MacAddress> (*)(std::string_view);
    const Parse uuid = macOfEndpointUuid, xaddr = macOfLinkLocalXAddr;
    const std::tuple<Parse, const char*, const char*> rows[] = {
        {uuid, "urn:uuid:5a1e0001-0000-1000-8000-0012a9b4c5d6", "0012a9b4c5d6"},
        {uuid, "URN:UUID:5A1E0001-0000-11D0-B000-0012A9B4C5D6", "0012a9b4c5d6"},
        {uuid, "urn:uuid:5a1e0001-0000-4000-8000-0012a9b4c5d6", ""}, // version 4
        {uuid, "urn:uuid:5a1e0001-0000-1000-c000-0012a9b4c5d6", ""}, // another variant
        {uuid, "urn:uuid:5a1e0001-0000-1000-8000-0112a9b4c5d6", ""}, // a random node
        {uuid, "uuid:5a1e0001-0000-1000-8000-0012a9b4c5d6", ""},     // no urn:uuid:
        {uuid, "urn:uuid:5a1e0001-0000-1000-8000-0012a9b4c5d", ""},  // one digit short
        {uuid, "urn:uuid:5a1e0001-0000-1000-8000+0012a9b4c5d6", ""}, // no hyphen
        {uuid, "urn:uuid:5a1e0001-0000-1000-8000-0012a9b4c5dg", ""}, // no hex digit
        {xaddr, "http://[fe80::212:a9ff:feb4:c5d6]/onvif/device_service", "0012a9b4c5d6"},
        {xaddr, "http://[FE80::0:5EFF:FE20:1%25eth0]:8080/", "02005e200001"},
        {xaddr, "http://[fe80::212:a9aa:feb4:c5d6]/", ""},     // no ff:fe in the middle
        {xaddr, "http://[2001:db8::212:a9ff:feb4:c5d6]/", ""}, // global
        {xaddr, "http://192.168.1.64/onvif/device_service", ""},
        {xaddr, "http://[fe80::212:a9ff:feb4:c5d6/", ""},
    };
    for (const auto& [parse, text, expected] : rows) {
        const auto mac = parse(text);
        EXPECT_EQ(mac ? macToText(*mac) : "", expected) << text;
    }
}

} // namespace
} // namespace tavolix::onvif

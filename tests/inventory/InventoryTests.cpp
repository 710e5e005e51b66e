// Plans checked by the protocols that carry them, addresses handed out, native requests.
#include "AddressPlanner.h"
#include "ByteImage.h"
#include "MergedProtocols.h"
#include "NativeProtocol.h"
#include "NativeRequest.h"
#include "NeighbourTable.h"
#include "OnvifProtocol.h"
#include "PlanCheck.h"
#include "ReplyParser.h"
#include "ReplyValues.h"
#include "Verification.h"

#include <gmock/gmock.h>

namespace tavolix {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// A device's reply: kind 0 states none; mode bytes as the reply carries them.
std::vector<uint8_t> reply(uint8_t last, std::initializer_list<uint8_t> ip, uint8_t kind = 1,
                           std::initializer_list<uint8_t> mode = {0xFF, 0xFF, 0xFF, 0xFF},
                           std::string_view name = "CAM")
{
    return test::WireBytes()
        .text("VXL83")
        .record(0x10, 6, {0x02, 0x00, 0x5e, 0x10, 0x00, last})
        .record(0x11, 4, ip)
        .record(0x12, 4, {255, 255, 255, 0})
        .record(0x13, 4, {10, 0, 0, 1})
        .record(0x14, 2, {80, 0})
        .record(0x1F, 4, mode)
        .textRecord(0x20, 31, name)
        .record(0x30, 2, {0, kind})
        .data();
}

Device camera(uint8_t last, std::initializer_list<uint8_t> ip, uint8_t kind = 1,
              std::initializer_list<uint8_t> mode = {0xFF, 0xFF, 0xFF, 0xFF})
{
    return deviceFromReply(*decodeReplyValues(reply(last, ip, kind, mode)));
}

// The same device as only ONVIF reaches it: no kind, its name in UTF-8.
Device onvifCamera(uint8_t last, std::initializer_list<uint8_t> ip)
{
    Device device = camera(last, ip, 0);
    device.protocols = Protocols::Onvif;
    return device;
}

DeviceSettings settings(std::initializer_list<std::pair<Setting, std::string_view>> values)
{
    DeviceSettings parsed;
    for (const auto& [setting, text] : values)
        EXPECT_TRUE(parseSetting(parsed, setting, text)) << text;
    return parsed;
}

// Both protocols as a search runs them; checking needs no socket.
MergedProtocols
bothProtocols(std::unique_ptr<DeviceProtocol> native = std::make_unique<NativeProtocol>(),
              std::unique_ptr<DeviceProtocol> onvif = std::make_unique<onvif::OnvifProtocol>())
{
    std::vector<MergedProtocols::Member> members;
    members.emplace_back(Protocols::Native, std::move(native));
    members.emplace_back(Protocols::Onvif, std::move(onvif));
    return MergedProtocols(std::move(members));
}

TEST(Settings, ParseOnceFormatOnceAndRefuseWhatNoDeviceMayHave)
{
    const struct
    {
        Setting setting;
        const char* given;
        const char* text; // as listed again, or the refusal
    } rows[] = {
        {Setting::Ip, "10.0.0.7", "10.0.0.7"},
        {Setting::Ip, "10.0.0.07", "is not an IPv4 address in dotted decimal"},
        {Setting::HttpPort, "08080", "8080"},
        {Setting::HttpPort, "65536", "is not a port number from 1 to 65535"},
        {Setting::HttpPort, "0", "0"}, // a listing may show it; no device may be given it
        {Setting::Mode, "dhcp", "dhcp"},
        {Setting::Mode, "DHCP", "is not static, dhcp or pppoe"},
        {Setting::Name, "Parking-Level-2-North-Entrance-Cam-001",
         "Parking-Level-2-North-Entrance-Cam-001"},
        {Setting::PppoeAccount, "", "must not be empty"},
    };
    for (const auto& row : rows) {
        DeviceSettings parsed;
        const auto result = parseSetting(parsed, row.setting, row.given);
        EXPECT_EQ(result ? settingText(parsed, row.setting) : result.failure().message, row.text)
            << row.given;
    }
    DeviceSettings unusable = settings({{Setting::HttpPort, "0"}, {Setting::Ip, "224.0.0.1"}});
    EXPECT_EQ(valueRefusal(unusable, Setting::HttpPort), "is not a port number from 1 to 65535");
    EXPECT_EQ(valueRefusal(unusable, Setting::Ip), "is not an address a device can hold");
    EXPECT_EQ(unusable.given(), (std::vector<Setting>{Setting::Ip, Setting::HttpPort}));
}

PlanRow planRow(int row, uint8_t last, DeviceSettings asked)
{
    return {row, {0x02, 0x00, 0x5e, 0x10, 0x00, last}, std::move(asked), {}};
}

TEST(PlanCheck, EachProtocolRefusesWhatItCannotCarryAndTheRestIsChecked)
{
    const std::vector<Device> found = {
        camera(1, {10, 0, 0, 11}),
        camera(2, {10, 0, 0, 12}),
        camera(3, {10, 0, 0, 13}, 3),
        camera(4, {10, 0, 0, 14}, 0, {0xFF, 0xFF, 0x01, 0xFF}), // DHCP
        onvifCamera(5, {10, 0, 0, 15}),
        camera(9, {10, 0, 0, 99}), // never in a plan here
    };
    const std::string longName = "Parking-Level-2-North-Entrance-Cam-001"; // 38 bytes
    using S = Setting;
    const struct
    {
        std::vector<PlanRow> rows;
        const char* error; // "": none
    } cases[] = {
        {{planRow(2, 1, settings({{S::Ip, "10.0.0.21"}})),
          planRow(3, 2, settings({{S::Ip, "10.0.0.22"}}))},
         ""},
        {{planRow(2, 1, {}), planRow(3, 1, {})}, "rows 2 and 3 both name"},
        {{planRow(2, 1, settings({{S::Ip, "10.0.0.12"}})), planRow(3, 2, {})},
         "two devices would end with IP 10.0.0.12"},
        {{planRow(2, 1, settings({{S::Ip, "10.0.0.99"}}))},
         "held by 02005e100009, which is not in the plan"},
        {{planRow(2, 4, settings({{S::PppoeAccount, "dsl"}}))}, "can be set only in pppoe mode"},
        {{planRow(2, 4, settings({{S::Mode, "pppoe"}, {S::PppoeAccount, "dsl"}}))}, ""},
        {{planRow(2, 3, settings({{S::Name, "New"}}))}, "a kind 3 device lets nothing be changed"},
        {{planRow(2, 4, settings({{S::Gateway, "10.0.0.254"}}))},
         "cannot be set while the mode is dhcp"},
        {{planRow(2, 4, settings({{S::Ip, "10.0.0.24"}, {S::Mode, "static"}}))}, ""},
        {{planRow(2, 1, settings({{S::Ip, "10.0.0.255"}}))}, "network or broadcast"},
        {{planRow(2, 1, settings({{S::HttpPort, "0"}}))}, "0 is not a port"},
        // A kind 3 device listed unchanged, as a search listing lists it, is fine.
        {{planRow(2, 3, settings({{S::Name, "CAM"}, {S::Ip, "10.0.0.13"}}))}, ""},
        // Names: ours holds 31 bytes; an ONVIF camera takes what it takes, but no PPPoE.
        {{planRow(2, 1, settings({{S::Name, longName}}))},
         "is 38 bytes long in the device's encoding, at most 31 fit"},
        {{planRow(2, 5, settings({{S::Name, longName}}))}, ""},
        {{planRow(2, 5, settings({{S::Name, "caf\xe9"}}))}, "is not UTF-8"},
        {{planRow(2, 5, settings({{S::Mode, "pppoe"}}))}, "ONVIF has no place for PPPoE"},
    };
    const MergedProtocols protocols = bothProtocols();
    for (const auto& [rows, error] : cases) {
        using Errors = ::testing::Matcher<std::vector<std::string>>;
        EXPECT_THAT(checkPlan(rows, found, protocols, {}).errors,
                    *error ? Errors(Contains(HasSubstr(error))) : Errors(IsEmpty()))
            << error;
    }
    const auto stray =
        checkPlan({planRow(2, 1, settings({{S::Gateway, "10.9.9.1"}}))}, found, protocols, {});
    EXPECT_THAT(stray.warnings, Contains(HasSubstr("gateway 10.9.9.1 lies outside 10.0.0.0")));
    // A login too long for our devices is refused only where one of them changes.
    const ChangeOptions longLogin{Login{std::string(17, 'u'), "pw"}, std::nullopt, false};
    EXPECT_THAT(
        checkPlan({planRow(2, 1, settings({{S::Name, "x"}}))}, found, protocols, longLogin).errors,
        Contains(HasSubstr("longer than 16 bytes")));
    EXPECT_THAT(checkPlan({planRow(2, 5, settings({{S::Name, "x"}})), planRow(3, 1, {})}, found,
                          protocols, longLogin)
                    .errors,
                IsEmpty());
}

TEST(AddressPlanner, HandsOutFreeAddressesInMacOrderToWhatItsProtocolLetsChange)
{
    // Found out of order; .1 and .3 are taken, .0 is the network address.
    const std::vector<Device> found = {
        camera(3, {10, 0, 0, 3}),
        camera(1, {192, 168, 1, 108}),
        camera(2, {10, 0, 0, 1}, 3), // kind 3: keeps its address, which stays taken
        onvifCamera(4, {10, 0, 0, 40}),
    };
    AddressPlanRequest request;
    request.from = 0x0A000000; // 10.0.0.0
    request.mask = 0xFFFFFF00;
    request.namePrefix = "Parking-Level-2-North-Entrance-"; // 34 bytes with its number
    const MergedProtocols protocols = bothProtocols();
    const auto plan = planAddresses(found, request, protocols);
    ASSERT_TRUE(plan);
    ASSERT_EQ(plan->devices.size(), 1u);
    const Device& planned = plan->devices.front();
    EXPECT_EQ(std::tuple(planned.mac.back(), planned.ip, planned.name),
              std::tuple(4, 0x0A000002U, "Parking-Level-2-North-Entrance-001"));
    EXPECT_EQ(plan->notes.size(), 3u) << "ours are left out: names too long, kind 3";

    request.namePrefix.clear();
    request.from = 0x0A0000FD; // 10.0.0.253: two host addresses for three devices
    EXPECT_THAT(planAddresses(found, request, protocols).failure().message,
                HasSubstr("no free address"));

    // Moved off its subnet, a device keeps neither its mask nor its gateway unasked.
    Device linkLocal = onvifCamera(5, {169, 254, 23, 7});
    std::tie(linkLocal.mask, linkLocal.gateway) = std::pair(0xFFFF0000U, 0xA9FE0001U);
    const std::tuple<std::optional<Ipv4>, std::optional<Ipv4>, std::string> moves[] = {
        {std::nullopt, std::nullopt, "lies outside its subnet 169.254.0.0/255.255.0.0"},
        {0xFFFFFF00, std::nullopt, "its gateway 169.254.0.1 would lie outside 10.20.0.0/"},
        {0xFFFFFF00, 0x0A140001, ""},
    };
    for (const auto& [mask, gateway, note] : moves) {
        const AddressPlanRequest move{0x0A14003C, mask, gateway, ""}; // from 10.20.0.60
        const auto moved = planAddresses({linkLocal}, move, protocols);
        ASSERT_TRUE(moved);
        EXPECT_EQ(moved->devices.size(), note.empty() ? 1u : 0u) << note;
        using Notes = ::testing::Matcher<std::vector<std::string>>;
        EXPECT_THAT(moved->notes,
                    note.empty() ? Notes(IsEmpty()) : Notes(Contains(HasSubstr(note))));
    }
}

// The request to device 02005e100007 with login "admin:admin", up to offset 47.
test::WireBytes requestPrefix()
{
    return test::WireBytes()
        .text("VXL83")
        .textRecord(0x32, 0x20, "YWRtaW46YWRtaW4=")                // 5-38  Credentials
        .record(0x10, 0x06, {0x02, 0x00, 0x5e, 0x10, 0x00, 0x07}); // 39-46 Mac
}

// The row and the stored record come from one reply.
TEST(NativeRequest, SendsOnlyWhatWasAskedInTheWindowsRecordOrderAndTheDevicesEncoding)
{
    const auto bytes = reply(7, {198, 18, 1, 7}, 1, {0xFF, 0xFF, 0xFF, 0xFF}, "cam\xe9ra");
    const DeviceRecord stored = *decodeReply(bytes); // Latin-1 name: not UTF-8
    const Device device = deviceFromReply(*decodeReplyValues(bytes));
    const ChangeOptions latin1{Login{"admin", "admin"}, LegacyCodePage::Windows1252, false};
    using S = Setting;
    const std::pair<DeviceSettings, test::WireBytes> cases[] = {
        // The untouched Latin-1 name is not sent; NetworkMode always is.
        {settings({{S::Ip, "198.18.1.70"}, {S::Mask, "255.255.255.0"}}),
         requestPrefix()
             .record(0x11, 0x04, {198, 18, 1, 70})           // 47-52 IpAddress
             .record(0x1F, 0x04, {0xFF, 0xFF, 0xFF, 0xFF})}, // 53-58 NetworkMode static
        {settings({{S::Name, "Lobby"}, {S::HttpPort, "8080"}, {S::Mode, "dhcp"}}),
         requestPrefix()
             .textRecord(0x20, 0x1F, "Lobby")                // 47-79 Name
             .bytes({0x14, 0x05, '8', '0', '8', '0', 0x00})  // 80-86 HttpPort
             .record(0x1F, 0x04, {0xFF, 0xFF, 0x01, 0xFF})}, // 87-92 NetworkMode DHCP
        // A name typed in UTF-8 goes out in the device's own Latin-1.
        {settings({{S::Name, "cam\xc3\xa9ra 2"}}),
         requestPrefix()
             .textRecord(0x20, 0x1F, "cam\xe9ra 2")
             .record(0x1F, 0x04, {0xFF, 0xFF, 0xFF, 0xFF})},
    };
    const NativeProtocol native;
    for (const auto& [values, expected] : cases) {
        const auto asked = native.checkChange(device, values, latin1);
        ASSERT_TRUE(asked);
        const auto request = composeRequest(stored, *asked, *latin1.login, *latin1.codePage);
        ASSERT_TRUE(request);
        EXPECT_EQ(std::vector<uint8_t>(request->begin(), request->end()),
                  test::WireBytes(expected).padTo(256).data());
    }
    const auto refusal = [&](const std::string& name, LegacyCodePage page) {
        return native.checkChange(device, settings({{S::Name, name}}), {std::nullopt, page, false})
            .failure()
            .message;
    };
    EXPECT_THAT(refusal("\xe6\x91\x84", LegacyCodePage::Windows1252), HasSubstr("cannot store"));
    // 31 bytes of UTF-8 grow to 33 in GB18030, where U+00DF takes four bytes.
    EXPECT_THAT(refusal(std::string(29, 'a') + "\xc3\x9f", LegacyCodePage::Gb18030),
                HasSubstr("is 33 bytes long in the device's encoding, at most 31 fit"));
}

// An ONVIF row read without a login, at 10.0.0.last on interface 2.
Device unread(uint8_t last, std::string endpoint)
{
    Device row;
    row.protocols = Protocols::Onvif;
    row.ip = 0x0A000000U | last;
    row.interfaceIndex = 2;
    row.settingsRead = false;
    row.macSource = MacSource::Unknown;
    row.endpoint = std::move(endpoint);
    return row;
}

// The neighbour table vouches for a MAC that one address alone has; merged rows never conflict.
TEST(MergedProtocols, NeighbourMacsMergeUnreadRowsAndConflictsCountDevices)
{
    const MacAddress shared{0x02, 0, 0x5e, 0, 0, 0x99}, own = camera(11, {10, 0, 0, 11}).mac;
    // 10.0.0.11 has the native device's own MAC; .12 and .13 are behind one proxy-ARP MAC.
    const NeighbourMacs neighbours(
        {{2, 0x0A00000B, own}, {2, 0x0A00000C, shared}, {2, 0x0A00000D, shared}});
    EXPECT_EQ(neighbours.of(2, 0x0A00000B), own);
    EXPECT_EQ(neighbours.of(3, 0x0A00000B), std::nullopt) << "learnt on another interface";
    EXPECT_EQ(neighbours.of(2, 0x0A00000C), std::nullopt);

    const auto merged = mergedByMac({{camera(11, {10, 0, 0, 11}), camera(12, {10, 0, 0, 14})},
                                     {unread(11, "urn:a"), unread(12, "urn:b")}},
                                    neighbours);
    ASSERT_EQ(merged.size(), 3u);
    EXPECT_EQ(merged[0].protocols, Protocols::Both);
    EXPECT_EQ(merged[0].endpoint, "urn:a");
    EXPECT_FALSE(macKnown(merged[1])) << "its MAC is the proxy's";
    Device told = unread(15, "urn:c"); // a MAC it told of itself lists it, but plans no change
    told.mac = shared;
    told.macSource = MacSource::EndpointUuid;
    EXPECT_EQ(findDevice({told}, shared), nullptr);
    // Rows of one endpoint are one device; an unknown row beside a known one may be another.
    EXPECT_EQ(ipConflicts({unread(11, "urn:a"), unread(11, "urn:a"), camera(11, {10, 0, 0, 11})}),
              (std::vector<bool>{true, true, true}));
    EXPECT_EQ(ipConflicts({unread(11, "urn:a"), unread(11, "urn:a")}),
              (std::vector<bool>{false, false}));

    // Two EndpointReferences on one address, read through it: one MAC, still two devices.
    Device first = unread(11, "urn:a"), second = unread(11, "urn:b");
    for (Device* read : {&first, &second}) {
        read->mac = shared;
        read->macSource = MacSource::Read;
        read->settingsRead = true;
        read->source = read->ip;
    }
    EXPECT_EQ(mergedByMac({{first}, {second}}).size(), 2u);
    EXPECT_EQ(ipConflicts({first, second}), (std::vector<bool>{true, true}));
    const auto sole = soleDeviceWith({first, second}, shared);
    ASSERT_FALSE(sole);
    EXPECT_EQ(sole.failure().message, "2 ONVIF devices answer from 10.0.0.11: HTTP cannot tell "
                                      "them apart; connect them one at a time or give them DHCP");
}

// Devices that answer each search at once with the rows set.
class ScriptedProtocol final : public DeviceProtocol
{
public:
    std::vector<Device> rows;
    bool answering = false;

    Result<> open(const std::vector<std::string>&) override { return Done{}; }
    Result<> search() override
    {
        answering = true;
        return Done{};
    }
    void watch(WaitSet& waits) override
    {
        if (answering)
            waits.wakeAt(Clock::now());
    }
    bool handle(const WaitSet&, const RowHandler& handler) override
    {
        return std::exchange(answering, false) && std::ranges::any_of(rows, handler);
    }
    std::vector<Device> devices() const override { return rows; }
    Result<DeviceSettings> checkChange(const Device&, const DeviceSettings& asked,
                                       const ChangeOptions&) const override
    {
        return asked;
    }
    Result<> sendChange(const Device&, const DeviceSettings&, const ChangeOptions&) override
    {
        return Done{};
    }
    std::string silenceReport(std::chrono::milliseconds) const override { return {}; }
};

// A device on both protocols changed through ours is verified from our answers alone, though
// ONVIF's show the asked address first.
TEST(MergedProtocols, AChangedDeviceIsVerifiedFromItsChangesProtocolAlone)
{
    auto nativeMember = std::make_unique<ScriptedProtocol>();
    auto onvifMember = std::make_unique<ScriptedProtocol>();
    ScriptedProtocol& native = *nativeMember;
    onvifMember->rows = {onvifCamera(11, {10, 0, 0, 60})};
    MergedProtocols both = bothProtocols(std::move(nativeMember), std::move(onvifMember));
    Device before = camera(11, {10, 0, 0, 11});
    before.protocols = Protocols::Both;
    const DeviceSettings asked = settings({{Setting::Ip, "10.0.0.60"}});
    ASSERT_TRUE(both.search());
    ASSERT_TRUE(both.sendChange(before, asked, {}));
    std::vector<VerificationTarget> targets = {{before.mac, asked, before}};
    verifyTogether(both, targets, std::chrono::milliseconds(300));
    EXPECT_FALSE(targets[0].verified) << "ONVIF's answer verified a change sent through ours";
    native.rows = {camera(11, {10, 0, 0, 60})};
    verifyTogether(both, targets, std::chrono::milliseconds(300));
    EXPECT_TRUE(targets[0].verified);
    EXPECT_EQ(targets[0].lastSeen->protocols, Protocols::Native);
}

} // namespace
} // namespace tavolix

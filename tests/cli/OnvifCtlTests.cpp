// tavolixctl's search and changes over ONVIF cameras (onvifsim) beside native devices.
#include "CtlTest.h"

namespace tavolix::e2e {
namespace {

using nlohmann::json;

class OnvifCtlTest : public CtlTest
{
protected:
    // Per device: mac, name, ip, mask, gateway, kind, version, protocol, manufacturer,
    // service_url; in IP order.
    std::string listed(std::vector<std::string> arguments, const std::string& password = "admin")
    {
        arguments.insert(arguments.begin(), {"search", "--format", "json", "--timeout", "1000"});
        last = ctl(arguments, {"TAVOLIX_PASSWORD=" + password});
        json rows = json::array();
        for (json d : json::parse(last.out.empty() ? "[]" : last.out))
            rows.push_back({d["mac"], d["name"], d["ip"], d["mask"], d["gateway"], d["kind"],
                            d["version"], d["protocol"], d["manufacturer"], d["service_url"]});
        return rows.dump();
    }
    CtlResult last;
};

TEST_F(OnvifCtlTest, SearchListsOnvifCamerasBesideOursAsOneRowPerDevice)
{
    // The first camera is also a device of ours: same MAC, same address.
    ASSERT_NO_FATAL_FAILURE(
        startDevices({"--count", "1", "--ip-base", "198.18.0.20", "--mac-base", "02005e200001"}));
    // Their clock runs an hour ahead, which a login has to follow; a computer answers the
    // probes too, and the cameras name unreachable addresses before their own.
    ASSERT_NO_FATAL_FAILURE(
        startSite({{"--count", "2", "--clock-offset", "3600", "--wsdp-host", "--extra-xaddrs"}}));
    const auto service = [](char unit) {
        return std::string("http://198.18.0.2") + unit + "/onvif/device_service";
    };
    EXPECT_EQ(listed({"--user", "admin", "--tls-verify"}), // no certificate over http
              json::array({{"02005e200001", "SIM-001", "198.18.0.20", "255.254.0.0", "198.18.0.1",
                            1, "2.4.1-sim", "native+onvif", "Tavolix Lab", service('0')},
                           {"02005e200002", "ONVIFSIM-002", "198.18.0.21", "255.255.255.0",
                            "198.18.0.1", nullptr, "1.0.0", "onvif", "Tavolix Lab", service('1')}})
                  .dump());
    EXPECT_EQ(last.exitCode, 0) << last.err;

    // Without a login: what the probe answers tell, the MAC from the fe80:: XAddr.
    EXPECT_EQ(listed({"--protocol", "onvif"}),
              json::array({{"02005e200001", "ONVIFSIM-001", "198.18.0.20", "", "", nullptr, "",
                            "onvif", "", service('0')},
                           {"02005e200002", "ONVIFSIM-002", "198.18.0.21", "", "", nullptr, "",
                            "onvif", "", service('1')}})
                  .dump());
    EXPECT_EQ(last.exitCode, 0) << last.err;
    EXPECT_THAT(last.out, HasSubstr(R"("model": "SimCam-200")")) << "from the hardware scope";
    EXPECT_THAT(listed({"--protocol", "native"}), HasSubstr(R"(,"native",)"));
    EXPECT_EQ(json::parse(last.out).size(), 1u);

    // The listing applied as it stands changes nothing: only searches and reads go out. A
    // camera's name longer than ours can hold is its own, not refused back.
    cameras.clear();
    ASSERT_NO_FATAL_FAILURE(
        startSite({{"--count", "2", "--name-prefix", "Parking-Level-2-North-Entrance-Cam"}}));
    last = asAdmin({"search", "--format", "csv"});
    EXPECT_THAT(last.out, HasSubstr("Parking-Level-2-North-Entrance-Cam-002"));
    last = asAdmin({"apply", writeFile("site.csv", last.out)});
    EXPECT_EQ(last.exitCode, 0) << last.err;
    EXPECT_THAT(last.out, Not(HasSubstr("verified")));
    EXPECT_THAT(camerasSaid("call "),
                Not(::testing::Contains(ContainsRegex("^[0-9a-f]+ (Set|SystemReboot)"))));
}

// Unread, a camera that is also a native device is one row: by the neighbour table's MAC where
// its address alone has it (the link's end takes the device's), or by its version-1 UUID.
TEST_F(OnvifCtlTest, ADeviceAnsweringBothProtocolsUnreadIsOneRowWithoutAConflict)
{
    // The device's namespace has the camera's address alone, on a link end with the device's MAC.
    ASSERT_TRUE(topology.addNamespace("host") && topology.addNamespace("devices") &&
                topology.link("host", "198.18.0.1/24", "devices", "198.18.0.20/24"))
        << topology.error();
    ASSERT_EQ(test::runCommand({"ip", "-n", topology.name("devices"), "link", "set", "veth0b",
                                "address", "02:00:5e:20:00:01"})
                  .exitCode,
              0);
    sim.emplace(topology.name("devices"),
                std::vector<std::string>{"--ip-base", "198.18.0.20", "--mac-base", "02005e200001"});
    ASSERT_TRUE(sim->waitReady());
    const auto rows = [&] {
        last = ctl({"search", "--format", "json", "--timeout", "1000"});
        EXPECT_EQ(last.exitCode, 0) << last.err;
        json found = json::array();
        for (const json& d : json::parse(last.out))
            found.push_back({d["mac"], d["ip"], d["protocol"], d["ip_conflict"]});
        return found;
    };
    const json device = {"02005e200001", "198.18.0.20", "native+onvif", false};
    ASSERT_NO_FATAL_FAILURE(startSite({{"--count", "1"}}));
    EXPECT_EQ(rows(), json::array({device}));

    // Two cameras share the link's MAC, which then names neither; their UUIDs do.
    cameras.clear();
    ASSERT_NO_FATAL_FAILURE(startSite({{"--count", "2", "--mac-endpoints"}}));
    EXPECT_EQ(rows(), json::array({device, {"02005e200002", "198.18.0.21", "onvif", false}}));
}

TEST_F(OnvifCtlTest, SetChangesACameraCallByCallRefusesWhatOnvifLacksAndVerifiesItMoved)
{
    ASSERT_NO_FATAL_FAILURE(makeHostAndDevices());
    ASSERT_NO_FATAL_FAILURE(startSite({{"--count", "2", "--ignoring", "1"}}));
    const std::string taker = "02005e200002", ignorer = "02005e200001";
    // Refused after the search, nothing sent: exit 2; a refused login finds no MAC: exit 1.
    const std::tuple<std::vector<std::string>, std::string, int, std::string> refusals[] = {
        {{"--name", "X", "--code-page", "gb18030"},
         "admin",
         2,
         "a code page was given, but an ONVIF device"},
        {{"--name", "X"},
         "Wrong-Pw",
         1,
         "device 02005e200002 is none of the devices that could be read"},
    };
    for (auto [arguments, password, code, complaint] : refusals) {
        arguments.insert(arguments.begin(), {"set", taker});
        last = asAdmin(arguments, password);
        EXPECT_EQ(last.exitCode, code) << last.err;
        EXPECT_THAT(last.err, HasSubstr(complaint));
    }
    EXPECT_THAT(last.err, HasSubstr("the device refused the login"));
    EXPECT_THAT(camerasSaid("call " + taker + " Set"), ::testing::IsEmpty());

    last = asAdmin({"set", taker, "--name", "Hall 2/B", "--ip", "198.18.0.50", "--gateway",
                    "198.18.0.254", "--http-port", "8080", "--protocol", "onvif"});
    ASSERT_EQ(last.exitCode, 0) << last.err;
    EXPECT_EQ(last.out, "field      asked         now           ok\n"
                        "name       Hall 2/B      Hall 2/B      yes\n"
                        "ip         198.18.0.50   198.18.0.50   yes\n"
                        "gateway    198.18.0.254  198.18.0.254  yes\n"
                        "http_port  8080          8080          yes\n");
    // The interface last: it takes the device away from where the other calls go.
    EXPECT_EQ(camerasSaid("call " + taker + " Set"),
              (std::vector<std::string>{"NetworkDefaultGateway ok 198.18.0.254",
                                        "Scopes ok 2 scopes", "NetworkProtocols ok http=8080",
                                        "NetworkInterfaces ok 198.18.0.50/24"}));
    EXPECT_EQ(camerasSaid("move " + taker).back(),
              " 198.18.0.21/24:8080 -> 198.18.0.50/24:8080 gateway 198.18.0.254");

    // A camera that answers "ok" and keeps its settings is not verified.
    last = asAdmin({"set", ignorer, "--name", "Kept", "--timeout", "1500"});
    EXPECT_EQ(last.exitCode, 1);
    EXPECT_THAT(last.err, HasSubstr("not verified within 1500 ms: name"));
    EXPECT_THAT(camerasSaid("call " + ignorer + " Set"),
                ::testing::ElementsAre("Scopes ok 2 scopes"));
}

TEST_F(OnvifCtlTest, APlanMovesANativeAndAnOnvifDeviceTogetherAndRebootsOnlyWhenAsked)
{
    ASSERT_NO_FATAL_FAILURE(startDevices({"--count", "1", "--ip-base", "198.18.0.10"}));
    ASSERT_NO_FATAL_FAILURE(
        startSite({{"--count", "1", "--mac-base", "02005e300001", "--reboot-needed"}}));
    const std::string plan =
        writeFile("plan.csv", "mac,ip\n02005e100001,198.18.0.60\n02005e300001,198.18.0.61\n");
    const auto apply = [&](std::vector<std::string> options, // no login without a password
                           const std::string& password = "admin") {
        options.insert(options.begin(), {"apply", plan, "--format", "json", "--timeout", "4000"});
        last = password.empty() ? ctl(options) : asAdmin(options, password);
        return json::parse(last.out.empty() ? "[]" : last.out);
    };
    // Without a login an ONVIF camera has no MAC to plan it by.
    apply({"--dry-run"}, "");
    EXPECT_EQ(last.exitCode, 2);
    EXPECT_THAT(last.err, HasSubstr("row 3 (02005e300001): no such device answered the search "
                                    "(1 ONVIF device(s) answered unread: they are known by MAC "
                                    "only once a login they accept, --user, reads them)"));
    // Nor a plan: the camera is left out, and its address counts as taken.
    last = ctl({"plan", "--ip-from", "198.18.0.20"});
    EXPECT_EQ(last.exitCode, 0) << last.err;
    EXPECT_THAT(last.out,
                ContainsRegex("\n02005e100001,[^\n]*,198.18.0.21,[^\n]*,native,[^\n]*\n$"));
    EXPECT_THAT(last.err, HasSubstr("the ONVIF device at 198.18.0.20 (http://198.18.0.20/onvif/"
                                    "device_service) left out: its MAC is unknown"));
    // A refused login is the devices' failure, not the plan's: named first, exit 1.
    apply({}, "Wrong-Pw");
    EXPECT_EQ(last.exitCode, 1);
    EXPECT_THAT(last.err, ::testing::StartsWith("tavolixctl: ONVIFSIM-001 (http://198.18.0.20/"
                                                "onvif/device_service): the device refused"));
    EXPECT_THAT(last.err, HasSubstr("nothing was sent"));
    // Then the camera's row looks like a device that is not there: not skipped, nothing sent.
    apply({"--skip-missing"}, "Wrong-Pw");
    EXPECT_EQ(last.exitCode, 1);
    EXPECT_THAT(last.err, HasSubstr("would skip row 3 (02005e300001), but a skipped row may be one "
                                    "of the devices that answered unread\ntavolixctl: nothing"));
    apply({"--dry-run", "--skip-missing"}, ""); // nor when no login read the camera
    EXPECT_EQ(last.exitCode, 2);
    EXPECT_THAT(last.err, HasSubstr("answered unread (a login they accept, --user, reads them)"));
    expectSearchesThenMarker(5, "after-refusals");
    EXPECT_THAT(camerasSaid("call 02005e300001 S"), ::testing::IsEmpty());

    // With what was asked, now -> planned, as the search before sending saw it, and what was
    // read back after (null: not read back; a change needing a reboot is not waited for).
    const auto row = [](const char* mac, const char* ip, const char* result, json changes) {
        const bool sent = std::string_view(result) != "unchanged";
        return json{
            {"mac", mac}, {"ip", ip}, {"result", result}, {"changes", changes}, {"sent", sent}};
    };
    const auto moves = [](const char* now, const char* planned, json after) {
        return json{{"ip", {{"now", now}, {"planned", planned}, {"after", after}}}};
    };
    EXPECT_EQ(apply({}), json::array({row("02005e100001", "198.18.0.60", "verified",
                                          moves("198.18.0.10", "198.18.0.60", "198.18.0.60")),
                                      row("02005e300001", "198.18.0.20", "needs reboot",
                                          moves("198.18.0.20", "198.18.0.61", nullptr))}));
    EXPECT_EQ(last.exitCode, 1);
    EXPECT_THAT(camerasSaid("call 02005e300001 S"),
                ::testing::ElementsAre("etNetworkInterfaces ok 198.18.0.61/24"));

    EXPECT_EQ(apply({"--reboot"}),
              json::array({row("02005e100001", "198.18.0.60", "unchanged", json::object()),
                           row("02005e300001", "198.18.0.61", "verified",
                               moves("198.18.0.20", "198.18.0.61", "198.18.0.61"))}));
    EXPECT_EQ(last.exitCode, 0) << last.err;
    EXPECT_THAT(camerasSaid("call 02005e300001 S"),
                ::testing::ElementsAre("etNetworkInterfaces ok 198.18.0.61/24",
                                       "etNetworkInterfaces ok 198.18.0.61/24", "ystemReboot ok"));
    EXPECT_THAT(
        camerasSaid("move 02005e300001"),
        ::testing::ElementsAre(" 198.18.0.20/24:80 -> 198.18.0.61/24:80 gateway 198.18.0.1"));
}

} // namespace
} // namespace tavolix::e2e

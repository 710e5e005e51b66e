// tavolixctl's search over ONVIF cameras (onvifsim) beside devices of our own protocol.
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
    startDevices({"--count", "1", "--ip-base", "198.18.0.20", "--mac-base", "02005e200001"});
    ASSERT_FALSE(HasFatalFailure());
    // Their clock runs an hour ahead, which a login has to follow; a computer answers the
    // probes too, and the cameras name unreachable addresses before their own.
    DeviceSimProcess cameras(topology.name("devices"),
                             {"--interface", "veth0b", "--count", "2", "--ip-base", "198.18.0.20",
                              "--gateway", "198.18.0.1", "--clock-offset", "3600", "--wsdp-host",
                              "--extra-xaddrs"},
                             TAVOLIX_ONVIFSIM_PATH);
    ASSERT_TRUE(cameras.waitReady());
    const auto service = [](char unit) {
        return std::string("http://198.18.0.2") + unit + "/onvif/device_service";
    };
    EXPECT_EQ(listed({"--user", "admin"}),
              json::array({{"02005e200001", "SIM-001", "198.18.0.20", "255.254.0.0", "198.18.0.1",
                            1, "2.4.1-sim", "native+onvif", "Tavolix Lab", service('0')},
                           {"02005e200002", "ONVIFSIM-002", "198.18.0.21", "255.255.255.0",
                            "198.18.0.1", nullptr, "1.0.0", "onvif", "Tavolix Lab", service('1')}})
                  .dump());
    EXPECT_EQ(last.exitCode, 0) << last.err;

    // Without a login: what the probe answers tell, the MAC unknown, so nothing merges.
    EXPECT_EQ(
        listed({"--protocol", "onvif"}),
        json::array(
            {{"", "ONVIFSIM-001", "198.18.0.20", "", "", nullptr, "", "onvif", "", service('0')},
             {"", "ONVIFSIM-002", "198.18.0.21", "", "", nullptr, "", "onvif", "", service('1')}})
            .dump());
    EXPECT_EQ(last.exitCode, 0) << last.err;
    EXPECT_THAT(listed({"--protocol", "native"}), HasSubstr(R"(,"native",)"));
    EXPECT_EQ(json::parse(last.out).size(), 1u);

    // A refused login lists what is known, says so per camera and exits 1.
    EXPECT_THAT(listed({"--user", "admin", "--protocol", "onvif"}, "Wrong-Pw"),
                HasSubstr(R"(["","ONVIFSIM-002")"));
    EXPECT_EQ(last.exitCode, 1);
    EXPECT_THAT(last.err,
                HasSubstr("ONVIFSIM-002 (" + service('1') + "): the device refused the login"));
    EXPECT_THAT(last.out + last.err, Not(HasSubstr("Wrong-Pw")));
}

// A plan covers the cameras whose MAC a login reads; without one they are left out, and say so.
TEST_F(OnvifCtlTest, PlanGivesOnvifCamerasAddressesWhenTheLoginReadsTheirMac)
{
    startDevices({"--count", "1", "--ip-base", "198.18.0.10", "--mac-base", "02005e100001"});
    ASSERT_FALSE(HasFatalFailure());
    DeviceSimProcess cameras(topology.name("devices"),
                             {"--interface", "veth0b", "--count", "2", "--ip-base", "198.18.0.20"},
                             TAVOLIX_ONVIFSIM_PATH);
    ASSERT_TRUE(cameras.waitReady());
    // In MAC order; the cameras' addresses are in use, as the device's is.
    last = ctl({"plan", "--ip-from", "198.18.0.20", "--protocol", "all", "--user", "admin"},
               {"TAVOLIX_PASSWORD=admin"});
    const std::string native = "\n02005e100001,[^\n]*,198.18.0.22,[^\n]*,native,[^\n]*\n";
    EXPECT_THAT(last.out, ContainsRegex(native + "02005e200001,[^\n]*,198.18.0.23,[^\n]*,onvif,"
                                                 "[^\n]*\n02005e200002,[^\n]*,198.18.0.24,"));
    EXPECT_EQ(last.exitCode, 0) << last.err;
    EXPECT_EQ(last.err, "");

    last = ctl({"plan", "--ip-from", "198.18.0.20"}, {"TAVOLIX_PASSWORD=admin"});
    EXPECT_THAT(last.out, ContainsRegex(native + "$"));
    EXPECT_EQ(last.exitCode, 0) << last.err;
    for (const char unit : {'0', '1'})
        EXPECT_THAT(last.err, HasSubstr(std::string("the ONVIF device at 198.18.0.2") + unit +
                                        " (http://198.18.0.2" + unit +
                                        "/onvif/device_service) left out: its MAC is unknown"));
}

} // namespace
} // namespace tavolix::e2e

// A configuration request from the network worker to a simulated device: the
// exact bytes on the wire, and what the device reports afterwards.
#include "ByteImage.h"
#include "MacCodec.h"
#include "NamespaceTest.h"
#include "WorkerHarness.h"

#include <optional>

namespace tavolix::e2e {
namespace {

// Joined "maintenance:Pass-word-2024" is 26 bytes, its Base64 36 characters:
// the record carries the first 32.
constexpr const char* deviceLogin = "maintenance:Pass-word-2024";
constexpr MacAddress secondDevice = {0x02, 0x00, 0x5e, 0x10, 0x00, 0x02};

std::optional<DeviceRecord> findDevice(const DeviceTable& table, const MacAddress& mac)
{
    for (int slot = 1; slot <= DeviceTable::slotCount; ++slot) {
        const auto record = table.recordAt(slot);
        if (record && record->slot != 0 && record->mac == mac)
            return record;
    }
    return std::nullopt;
}

bool isConfiguration(const SimDatagram& datagram)
{
    // Offset 5 holds the first record's tag: Credentials (0x32) only in a configuration.
    return datagram.bytes.size() > 5 && datagram.bytes[5] == 0x32;
}

class WorkerConfigurationTest : public NamespaceTest
{
protected:
    // Three static devices; the worker has found them.
    void startAndSearch()
    {
        makeHostAndDevices();
        ASSERT_FALSE(HasFatalFailure());
        sim.emplace(topology.name("devices"),
                    std::vector<std::string>{"--count", "3", "--name", "CAM", "--login",
                                             deviceLogin, "--mac-base", "02005e100001"});
        ASSERT_TRUE(sim->waitReady());
        ASSERT_TRUE(worker.start(topology.name("host"))) << worker.error();
        ASSERT_TRUE(worker.ui.waitUntil([](const WorkerUiState& s) { return s.rows.size() == 3; }));
    }

    // The fields as the window fills them when the second device is selected.
    void selectSecondDevice()
    {
        const auto record = findDevice(worker.control.table, secondDevice);
        ASSERT_TRUE(record.has_value());
        RecordingWorkerUi& ui = worker.ui;
        ui.setField(WorkerField::MacGroupCaption, macToText(record->mac));
        ui.setField(WorkerField::Name, std::string(fieldText(record->name)));
        ui.setField(WorkerField::IpAddress, std::string(fieldText(record->ipAddress)));
        ui.setField(WorkerField::SubnetMask, std::string(fieldText(record->subnetMask)));
        ui.setField(WorkerField::Gateway, std::string(fieldText(record->gateway)));
        ui.setField(WorkerField::HttpPort, std::to_string(record->httpPort));
        ui.setField(WorkerField::PppoeAccount, std::string(fieldText(record->pppoeAccount)));
        ui.setField(WorkerField::PppoePassword, std::string(fieldText(record->pppoePassword)));
    }

    // Update, and wait until every device has answered again.
    void searchAgain()
    {
        const int resets = worker.ui.state().resetCount;
        worker.control.setCommand(SearchCommand);
        ASSERT_TRUE(worker.ui.waitUntil([resets](const WorkerUiState& s) {
            return s.resetCount > resets && s.rows.size() == 3;
        }));
    }

    std::optional<DeviceSimProcess> sim;
    WorkerHarness worker;
};

TEST_F(WorkerConfigurationTest, ConfigurationRequestChangesTheDevice)
{
    startAndSearch();
    ASSERT_FALSE(HasFatalFailure());
    selectSecondDevice();
    ASSERT_FALSE(HasFatalFailure());
    RecordingWorkerUi& ui = worker.ui;
    ui.setField(WorkerField::LoginAccount, "maintenance");
    ui.setField(WorkerField::LoginPassword, "Pass-word-2024");
    ui.setField(WorkerField::Name, "Lobby-Cam");
    ui.setField(WorkerField::IpAddress, "198.18.7.20");
    ui.setField(WorkerField::SubnetMask, "255.255.255.0");
    ui.setField(WorkerField::Gateway, "198.18.7.1");
    ui.setField(WorkerField::HttpPort, "8080");
    ui.setField(WorkerField::PppoeAccount, "dsl-user@isp.example");
    ui.setChoiceChecked(WorkerChoice::Pppoe, true);
    worker.control.setCommand(ConfigureCommand);

    ASSERT_TRUE(sim->waitForLine("apply 02005e100002 name pppoe-account ip mask gateway port mode"))
        << "simulator said: " << sim->lines().back();

    // The PPPoE password did not change, so it has no record.
    const std::vector<uint8_t> expected = byteImage(
        256, {
                 {0, ascii("VXL83")},                            // magic
                 {5, {0x32, 0x20}},                              // Credentials
                 {7, ascii("bWFpbnRlbmFuY2U6UGFzcy13b3JkLTIw")}, // 7-38, first 32 of 36 characters
                 {39, {0x10, 0x06}},                             // Mac: the target
                 {41, {0x02, 0x00, 0x5e, 0x10, 0x00, 0x02}},     // 41-46
                 {47, {0x20, 0x1F}},                             // Name
                 {49, ascii("Lobby-Cam")},                       // 49-79, zero-padded
                 {80, {0x22, 0x40}},                             // PppoeAccount
                 {82, ascii("dsl-user@isp.example")},            // 82-145, zero-padded
                 {146, {0x11, 0x04, 198, 18, 7, 20}},            // IpAddress, 148-151
                 {152, {0x12, 0x04, 255, 255, 255, 0}},          // SubnetMask, 154-157
                 {158, {0x13, 0x04, 198, 18, 7, 1}},             // Gateway, 160-163
                 {164, {0x14, 0x05, '8', '0', '8', '0', 0x00}},  // HttpPort as typed, 166-170
                 {171, {0x1F, 0x04, 0x01, 0xFF, 0xFF, 0xFF}},    // NetworkMode PPPoE, 173-176
             });                                                 // 177-255 zero
    const auto received = sim->datagrams("recv");
    ASSERT_EQ(received.size(), 2u) << "the search, then the configuration";
    EXPECT_TRUE(isConfiguration(received[1]));
    EXPECT_EQ(describeDifference(received[1].bytes, expected), "");

    // After the send the command is cleared and the display reset; a new
    // search shows the new settings.
    ASSERT_TRUE(worker.ui.waitUntil([](const WorkerUiState& s) { return s.resetCount == 2; }));
    EXPECT_EQ(worker.control.command.load(), NoCommand);
    searchAgain();
    ASSERT_FALSE(HasFatalFailure());
    const auto changed = findDevice(worker.control.table, secondDevice);
    ASSERT_TRUE(changed.has_value());
    EXPECT_EQ(fieldText(changed->name), "Lobby-Cam");
    EXPECT_EQ(fieldText(changed->ipAddress), "198.18.7.20");
    EXPECT_EQ(fieldText(changed->subnetMask), "255.255.255.0");
    EXPECT_EQ(fieldText(changed->gateway), "198.18.7.1");
    EXPECT_EQ(changed->httpPort, 8080);
    EXPECT_EQ(changed->networkMode, (std::array<uint8_t, 4>{0x01, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(fieldText(changed->pppoeAccount), "dsl-user@isp.example");
    const auto neighbour = findDevice(worker.control.table, {0x02, 0x00, 0x5e, 0x10, 0x00, 0x01});
    ASSERT_TRUE(neighbour.has_value());
    EXPECT_EQ(fieldText(neighbour->name), "CAM-001") << "only the target changed";
}

TEST_F(WorkerConfigurationTest, WrongLoginChangesNothing)
{
    startAndSearch();
    ASSERT_FALSE(HasFatalFailure());
    selectSecondDevice();
    ASSERT_FALSE(HasFatalFailure());
    worker.ui.setField(WorkerField::LoginAccount, "maintenance");
    worker.ui.setField(WorkerField::LoginPassword, "wrong");
    worker.ui.setField(WorkerField::Name, "Renamed");
    worker.ui.setField(WorkerField::IpAddress, "198.18.9.9");
    worker.control.setCommand(ConfigureCommand);

    ASSERT_TRUE(sim->waitForLine("drop bad-login 02005e100002"))
        << "simulator said: " << sim->lines().back();
    const auto received = sim->datagrams("recv");
    ASSERT_EQ(received.size(), 2u);
    ASSERT_TRUE(isConfiguration(received[1]));
    // Base64 of "maintenance:wrong": 24 characters, zero-padded to 32.
    const std::vector<uint8_t> credentials(received[1].bytes.begin() + 7,
                                           received[1].bytes.begin() + 39);
    EXPECT_EQ(
        describeDifference(credentials, byteImage(32, {{0, ascii("bWFpbnRlbmFuY2U6d3Jvbmc=")}})),
        "");

    searchAgain();
    ASSERT_FALSE(HasFatalFailure());
    const auto unchanged = findDevice(worker.control.table, secondDevice);
    ASSERT_TRUE(unchanged.has_value());
    EXPECT_EQ(fieldText(unchanged->name), "CAM-002");
    EXPECT_EQ(fieldText(unchanged->ipAddress), "198.18.1.2");
}

} // namespace
} // namespace tavolix::e2e

// A configuration request from the network worker to a simulated device: the
// exact bytes on the wire, and what the device reports afterwards.
#include "ByteImage.h"
#include "MacCodec.h"
#include "NamespaceTest.h"
#include "WorkerHarness.h"

namespace tavolix::e2e {
namespace {

constexpr MacAddress secondDevice = {0x02, 0x00, 0x5e, 0x10, 0x00, 0x02};

class WorkerConfigurationTest : public NamespaceTest
{
protected:
    // The second device as the window shows it once selected, or nothing.
    std::optional<DeviceRecord> secondRecord()
    {
        for (int slot = 1; slot <= DeviceTable::slotCount; ++slot) {
            const auto record = worker.control.table.recordAt(slot);
            if (record && record->slot != 0 && record->mac == secondDevice)
                return record;
        }
        return std::nullopt;
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

    // Selects the second device, as the window fills the fields, and logs in.
    void configureSecondDevice(const std::string& password,
                               const std::vector<std::pair<WorkerField, std::string>>& edits)
    {
        const auto record = secondRecord();
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
        ui.setField(WorkerField::LoginAccount, "maintenance");
        ui.setField(WorkerField::LoginPassword, password);
        for (const auto& [field, text] : edits)
            ui.setField(field, text);
        worker.control.setCommand(ConfigureCommand);
    }

    WorkerHarness worker;
};

TEST_F(WorkerConfigurationTest, OnlyTheRightLoginChangesTheDevice)
{
    startDevices({"--count", "3", "--name", "CAM", "--login", "maintenance:Pass-word-2024",
                  "--mac-base", "02005e100001"});
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(worker.start(topology.name("host"))) << worker.error();
    ASSERT_TRUE(worker.ui.waitUntil([](const WorkerUiState& s) { return s.rows.size() == 3; }));

    // A wrong password: the device drops the request and keeps its settings.
    configureSecondDevice("wrong", {{WorkerField::Name, "Renamed"}});
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(sim->waitForLine("drop bad-login 02005e100002")) << sim->lines().back();
    ASSERT_TRUE(worker.ui.waitUntil([](const WorkerUiState& s) { return s.resetCount == 2; }));
    searchAgain();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(secondRecord().has_value());
    EXPECT_EQ(fieldText(secondRecord()->name), "CAM-002");

    worker.ui.setChoiceChecked(WorkerChoice::Pppoe, true);
    configureSecondDevice("Pass-word-2024", {{WorkerField::Name, "Lobby-Cam"},
                                             {WorkerField::IpAddress, "198.18.7.20"},
                                             {WorkerField::SubnetMask, "255.255.255.0"},
                                             {WorkerField::Gateway, "198.18.7.1"},
                                             {WorkerField::HttpPort, "8080"},
                                             {WorkerField::PppoeAccount, "dsl-user@isp.example"}});
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(sim->waitForLine("apply 02005e100002 name pppoe-account ip mask gateway port mode"))
        << sim->lines().back();

    // "maintenance:Pass-word-2024" in Base64 has 36 characters: the record
    // carries the first 32. The PPPoE password did not change: no record.
    const std::vector<uint8_t> expected = byteImage(
        256, {
                 {0, ascii("VXL83")},                            // magic
                 {5, {0x32, 0x20}},                              // Credentials
                 {7, ascii("bWFpbnRlbmFuY2U6UGFzcy13b3JkLTIw")}, // 7-38
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
    ASSERT_EQ(received.size(), 4u) << "search, configuration, search, configuration";
    EXPECT_EQ(describeDifference(received[3].bytes, expected), "");

    // After the send the command is cleared and the display reset; a new
    // search shows the new settings on the target only.
    ASSERT_TRUE(worker.ui.waitUntil([](const WorkerUiState& s) { return s.resetCount == 4; }));
    EXPECT_EQ(worker.control.command.load(), NoCommand);
    searchAgain();
    ASSERT_FALSE(HasFatalFailure());
    const auto changed = secondRecord();
    ASSERT_TRUE(changed.has_value());
    EXPECT_EQ(fieldText(changed->name), "Lobby-Cam");
    EXPECT_EQ(fieldText(changed->ipAddress), "198.18.7.20");
    EXPECT_EQ(fieldText(changed->subnetMask), "255.255.255.0");
    EXPECT_EQ(fieldText(changed->gateway), "198.18.7.1");
    EXPECT_EQ(changed->httpPort, 8080);
    EXPECT_EQ(changed->networkMode, (std::array<uint8_t, 4>{0x01, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(fieldText(changed->pppoeAccount), "dsl-user@isp.example");
    EXPECT_EQ(fieldText(worker.control.table.recordAt(255)->name), "CAM-001");
}

} // namespace
} // namespace tavolix::e2e

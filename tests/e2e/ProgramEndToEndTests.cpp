// The real window, driven by a user's input, against simulated devices in
// another network namespace. The window uses its default ports, so the test
// thread (and with it the worker it starts) stands in a namespace of its own.
#include "BitmapButton.h"
#include "ByteImage.h"
#include "DialogUser.h"
#include "NamespaceTest.h"
#include "SearchDialog.h"
#include "TemporaryDirectory.h"
#include "TransparentLabel.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>

namespace tavolix::e2e {
namespace {

namespace fs = std::filesystem;

// Only against a hang; the waits end as soon as their condition holds.
constexpr int hangGuardMs = 20000;

// CAM-001 to CAM-005, kind 1 (login fields open), static addressing,
// MACs 02005e200001 upwards, addresses 198.18.1.1 upwards, port 80.
const std::vector<std::string> simulatedDevices = {
    "--count", "5",   "--kind",  "1",           "--mode",     "static",
    "--name",  "CAM", "--login", "admin:admin", "--mac-base", "02005e200001"};

QString qs(const fs::path& path)
{
    return QString::fromStdString(path.string());
}

std::vector<uint8_t> searchRequestImage()
{
    return byteImage(256, {
                              {0, ascii("VXL83")}, // magic
                              {5, {0x20, 0x1F}},   // Name, value 7-37
                              {38, {0x10, 0x06}},  // Mac, value 40-45
                              {46, {0x21, 0x10}},  // Version, value 48-63
                              {64, {0x11, 0x04}},  // IpAddress, value 66-69
                              {70, {0x12, 0x04}},  // SubnetMask, value 72-75
                              {76, {0x13, 0x04}},  // Gateway, value 78-81
                              {82, {0x14, 0x05}},  // HttpPort, value 84-88
                              {89, {0x1F, 0x04}},  // NetworkMode, value 91-94
                              {95, {0x30, 0x02}},  // DeviceKind, value 97-98
                              {99, {0x22, 0x40}},  // PppoeAccount, value 101-164
                              {165, {0x23, 0x10}}, // PppoePassword, value 167-182
                          });                      // 183-255 zero
}

class ProgramEndToEndTest : public NamespaceTest
{
protected:
    void SetUp() override
    {
        NamespaceTest::SetUp();
        if (IsSkipped())
            return;
        makeHostAndDevices();
        ASSERT_FALSE(HasFatalFailure());
        sim.emplace(topology.name("devices"), simulatedDevices);
        ASSERT_TRUE(sim->waitReady());

        // The window writes the language choice into its database: a copy.
        ASSERT_FALSE(folder.path().empty());
        fs::copy_file(TAVOLIX_SHIPPED_LANGUAGE_DB, folder.path() / "language.db");
        SearchDialogOptions options; // the program's own ports and address
        options.languageDbPath = qs(folder.path() / "language.db");
        options.markerFile = qs(folder.path() / "no-marker"); // never made: MAC field hidden

        inHost.emplace(topology.name("host"));
        ASSERT_TRUE(inHost->entered()) << inHost->error();
        dialog = std::make_unique<SearchDialog>(options);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }

    const DialogControls& controls() const { return dialog->controls(); }

    bool waitForRows(int count)
    {
        return QTest::qWaitFor([&] { return controls().deviceList->count() == count; },
                               hangGuardMs);
    }

    // The simulator's transcript is read on another thread; the window keeps
    // serving its worker while the test waits for it.
    bool waitForReceived(std::size_t count)
    {
        return QTest::qWaitFor([&] { return sim->datagrams("recv").size() >= count; }, hangGuardMs);
    }

    bool waitForSimLineStarting(const std::string& start)
    {
        return QTest::qWaitFor(
            [&] {
                const auto lines = sim->lines();
                return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
                    return line.starts_with(start);
                });
            },
            hangGuardMs);
    }

    void pressEscapeAndExpectTheWorkerEnded()
    {
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        EXPECT_FALSE(dialog->isWorkerRunning());
        EXPECT_EQ(dialog->workerControl().stop.load(), 1);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), 0);
    }

    std::optional<DeviceSimProcess> sim;
    test::TemporaryDirectory folder;
    // Declared after the simulator and before the window: the window and its
    // worker are gone before the test thread leaves the host namespace.
    std::optional<test::ScopedNetns> inHost;
    std::unique_ptr<SearchDialog> dialog;
};

TEST_F(ProgramEndToEndTest, StartUpSearchesFromTheProgramPortAndListsEveryDevice)
{
    ASSERT_TRUE(waitForRows(5)) << "listed: " << controls().deviceList->count();
    EXPECT_EQ(controls().statusText->text(), QStringLiteral("OK"));
    for (const char* name : {"CAM-001", "CAM-002", "CAM-003", "CAM-004", "CAM-005"})
        EXPECT_NE(rowNamed(*controls().deviceList, QString::fromLatin1(name)), nullptr) << name;

    const auto received = sim->datagrams("recv");
    ASSERT_EQ(received.size(), 1u) << "one search out of the one broadcast link";
    EXPECT_EQ(received[0].peer, std::string(hostAddress) + ":3566");
    EXPECT_EQ(describeDifference(received[0].bytes, searchRequestImage()), "");

    pressEscapeAndExpectTheWorkerEnded();
}

TEST_F(ProgramEndToEndTest, SubmitSendsTheEditedSettingsAndUpdateListsTheNewName)
{
    ASSERT_TRUE(waitForRows(5)) << "listed: " << controls().deviceList->count();
    EXPECT_EQ(controls().statusText->text(), QStringLiteral("OK"));

    // The user picks CAM-003 and sees its settings.
    ASSERT_TRUE(clickRowNamed(*controls().deviceList, QStringLiteral("CAM-003")));
    EXPECT_EQ(controls().macGroup->title(), QStringLiteral("02005e200003"));
    EXPECT_EQ(controls().nameEdit->text(), QStringLiteral("CAM-003"));
    EXPECT_EQ(controls().ipAddressEdit->text(), QStringLiteral("198.18.1.3"));
    EXPECT_EQ(controls().httpPortEdit->text(), QStringLiteral("80"));
    EXPECT_TRUE(controls().staticRadio->isChecked());
    ASSERT_TRUE(controls().ipAddressEdit->isEnabled());
    ASSERT_TRUE(controls().loginAccountEdit->isEnabled());
    ASSERT_TRUE(controls().submitButton->isEnabled());

    // ...changes the address, the name and the port, logs in and submits.
    replaceText(*controls().ipAddressEdit, QStringLiteral("198.18.1.77"));
    replaceText(*controls().nameEdit, QStringLiteral("Gate-East"));
    replaceText(*controls().httpPortEdit, QStringLiteral("8081"));
    replaceText(*controls().loginAccountEdit, QStringLiteral("admin"));
    replaceText(*controls().loginPasswordEdit, QStringLiteral("admin"));
    ASSERT_EQ(controls().nameEdit->text(), QStringLiteral("Gate-East"));
    ASSERT_EQ(controls().httpPortEdit->text(), QStringLiteral("8081"));
    QTest::mouseClick(controls().submitButton, Qt::LeftButton);

    ASSERT_TRUE(waitForReceived(2)) << "no configuration request reached the devices";
    const auto received = sim->datagrams("recv");
    ASSERT_EQ(received.size(), 2u) << "the search, then the configuration";
    // Mask, gateway and the PPPoE texts are as stored, so they have no record.
    const std::vector<uint8_t> expected =
        byteImage(256, {
                           {0, ascii("VXL83")},                        // magic
                           {5, {0x32, 0x20}},                          // Credentials
                           {7, ascii("YWRtaW46YWRtaW4=")},             // "admin:admin", 23-38 zero
                           {39, {0x10, 0x06}},                         // Mac: the target
                           {41, {0x02, 0x00, 0x5e, 0x20, 0x00, 0x03}}, // 41-46
                           {47, {0x20, 0x1F}},                         // Name
                           {49, ascii("Gate-East")},                   // 49-79, zero-padded
                           {80, {0x11, 0x04, 198, 18, 1, 77}},         // IpAddress, 82-85
                           {86, {0x14, 0x05, '8', '0', '8', '1', 0x00}}, // HttpPort as typed, 88-92
                           {93, {0x1F, 0x04, 0xFF, 0xFF, 0xFF, 0xFF}}, // NetworkMode static, 95-98
                       });                                             // 99-255 zero
    EXPECT_EQ(received[1].peer, std::string(hostAddress) + ":3566");
    EXPECT_EQ(describeDifference(received[1].bytes, expected), "");
    ASSERT_TRUE(waitForSimLineStarting("apply 02005e200003"))
        << "the device refused: " << sim->lines().back();

    // After the send the window is reset; the devices stay silent until asked.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return controls().deviceList->count() == 0 && controls().nameEdit->text().isEmpty() &&
                   controls().loginAccountEdit->text().isEmpty();
        },
        hangGuardMs));
    EXPECT_EQ(controls().macGroup->title(), QStringLiteral("ffffffffffff"));
    EXPECT_EQ(controls().statusText->text(), QStringLiteral("OK"));

    // Update lists the device under its new name, with its new settings.
    QTest::mouseClick(controls().updateButton, Qt::LeftButton);
    ASSERT_TRUE(waitForRows(5)) << "listed: " << controls().deviceList->count();
    EXPECT_EQ(controls().statusText->text(), QStringLiteral("OK"));
    EXPECT_EQ(rowNamed(*controls().deviceList, QStringLiteral("CAM-003")), nullptr);
    ASSERT_TRUE(clickRowNamed(*controls().deviceList, QStringLiteral("Gate-East")));
    EXPECT_EQ(controls().macGroup->title(), QStringLiteral("02005e200003"));
    EXPECT_EQ(controls().ipAddressEdit->text(), QStringLiteral("198.18.1.77"));
    EXPECT_EQ(controls().httpPortEdit->text(), QStringLiteral("8081"));
    EXPECT_EQ(controls().subnetMaskEdit->text(), QStringLiteral("255.254.0.0"));
    EXPECT_EQ(sim->datagrams("recv").size(), 3u) << "the search after the configuration";

    pressEscapeAndExpectTheWorkerEnded();
}

} // namespace
} // namespace tavolix::e2e

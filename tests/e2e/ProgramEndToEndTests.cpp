// The real window, driven by a user's input, against simulated devices in
// another network namespace. The window uses its default ports, so the test
// thread (and with it the worker it starts) stands in a namespace of its own.
#include "BitmapButton.h"
#include "ByteImage.h"
#include "NamespaceTest.h"
#include "SearchDialog.h"
#include "TemporaryDirectory.h"
#include "TransparentLabel.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <memory>
#include <optional>

// Failure messages show a QString as its text rather than as UTF-16 units.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace tavolix::e2e {
namespace {

namespace fs = std::filesystem;

// Only against a hang; the waits end as soon as their condition holds.
constexpr int hangGuardMs = 20000;

// Clicks the middle of the row that lists a device of this name
// ("<slot> <name>"); false when there is no such row.
bool clickRowNamed(QListWidget& list, const QString& name)
{
    const auto rows = list.findItems(QLatin1Char(' ') + name, Qt::MatchEndsWith);
    if (rows.isEmpty())
        return false;
    list.scrollToItem(rows.front());
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.visualItemRect(rows.front()).center());
    return true;
}

// Clicks into the field, selects everything in it and types the text.
void replaceText(QLineEdit* field, const QString& text)
{
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
}

class ProgramEndToEndTest : public NamespaceTest
{
protected:
    void SetUp() override
    {
        NamespaceTest::SetUp();
        if (IsSkipped())
            return;
        // CAM-001 to CAM-005, kind 1 (login fields open), static addressing,
        // MACs 02005e200001 upwards, addresses 198.18.1.1 upwards, port 80.
        startDevices({"--count", "5", "--kind", "1", "--mode", "static", "--name", "CAM", "--login",
                      "admin:admin", "--mac-base", "02005e200001"});
        ASSERT_FALSE(HasFatalFailure());

        // The window writes the language choice into its database: a copy.
        ASSERT_FALSE(folder.path().empty());
        fs::copy_file(TAVOLIX_SHIPPED_LANGUAGE_DB, folder.path() / "language.db");
        SearchDialogOptions options; // the program's own ports and address
        options.languageDbPath = QString::fromStdString(folder.path() / "language.db");
        // Never made: the MAC field stays hidden.
        options.markerFile = QString::fromStdString(folder.path() / "no-marker");

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

    test::TemporaryDirectory folder;
    // Declared after the simulator and before the window: the window and its
    // worker are gone before the test thread leaves the host namespace.
    std::optional<test::ScopedNetns> inHost;
    std::unique_ptr<SearchDialog> dialog;
};

TEST_F(ProgramEndToEndTest, SubmitSendsTheEditedSettingsAndUpdateListsTheNewName)
{
    ASSERT_TRUE(waitForRows(5)) << "listed: " << controls().deviceList->count();
    EXPECT_EQ(controls().statusText->text(), QStringLiteral("OK"));

    // The user picks CAM-003, changes the address, the name and the port,
    // logs in and submits.
    ASSERT_TRUE(clickRowNamed(*controls().deviceList, QStringLiteral("CAM-003")));
    EXPECT_EQ(controls().macGroup->title(), QStringLiteral("02005e200003"));
    EXPECT_EQ(controls().ipAddressEdit->text(), QStringLiteral("198.18.1.3"));
    replaceText(controls().ipAddressEdit, QStringLiteral("198.18.1.77"));
    replaceText(controls().nameEdit, QStringLiteral("Gate-East"));
    replaceText(controls().httpPortEdit, QStringLiteral("8081"));
    replaceText(controls().loginAccountEdit, QStringLiteral("admin"));
    replaceText(controls().loginPasswordEdit, QStringLiteral("admin"));
    QTest::mouseClick(controls().submitButton, Qt::LeftButton);

    ASSERT_TRUE(QTest::qWaitFor([&] { return sim->datagrams("recv").size() >= 2; }, hangGuardMs))
        << "no configuration request reached the devices";
    const auto received = sim->datagrams("recv");
    ASSERT_EQ(received.size(), 2u) << "the search, then the configuration";
    EXPECT_EQ(received[0].peer, std::string(hostAddress) + ":3566");
    EXPECT_EQ(describeDifference(received[0].bytes, searchRequestImage()), "");
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

    // After the send the window is reset; Update then lists the device
    // under its new name, with its new settings.
    ASSERT_TRUE(QTest::qWaitFor([&] { return controls().deviceList->count() == 0; }, hangGuardMs));
    QTest::mouseClick(controls().updateButton, Qt::LeftButton);
    ASSERT_TRUE(waitForRows(5)) << "listed: " << controls().deviceList->count();
    ASSERT_TRUE(clickRowNamed(*controls().deviceList, QStringLiteral("Gate-East")));
    EXPECT_EQ(controls().macGroup->title(), QStringLiteral("02005e200003"));
    EXPECT_EQ(controls().ipAddressEdit->text(), QStringLiteral("198.18.1.77"));
    EXPECT_EQ(controls().httpPortEdit->text(), QStringLiteral("8081"));

    // Escape closes the window and ends its worker.
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isWorkerRunning());
    EXPECT_EQ(dialog->workerControl().stop.load(), 1);
    EXPECT_FALSE(dialog->isVisible());
}

} // namespace
} // namespace tavolix::e2e

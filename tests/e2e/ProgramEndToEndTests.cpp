// The real window against simulated devices, its fields filled and buttons clicked. It uses its
// default ports, so the test thread (and the worker it starts) stands in a namespace of its own.
#include "BitmapButton.h"
#include "ByteImage.h"
#include "NamespaceTest.h"
#include "SearchDialog.h"
#include "TemporaryDirectory.h"
#include "TransparentLabel.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>
#include <algorithm>
#include <filesystem>

namespace tavolix::e2e {
namespace {

// Only against a hang; the waits end as soon as their condition holds.
constexpr int hangGuardMs = 20000;

// Clicks the middle of the row "<slot> <name>" of this name; false when there is none.
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

using ProgramEndToEndTest = NamespaceTest;

// What only the real program shows: the window's fields reach the device through the real
// worker, texts in the code page the language implies (which page: unit tests), and Update
// lists the result. The bytes of every other case are the unit tests'.
TEST_F(ProgramEndToEndTest, WindowEditsReachTheDeviceInItsCodePageAndUpdateListsThem)
{
    // Kind 0 (a login taken), static, MACs 02005e200001 and 198.18.1.1 upwards; the first
    // holds its name and PPPoE texts in GBK, as devices set up on Chinese systems do.
    startDevices({"--count", "5", "--kind", "0", "--name", "CAM", "--mac-base", "02005e200001",
                  "--raw-texts", "c9e3cff1bbfa,d3c3bba7,c3dcc2eb"}); // 摄像机, 用户, 密码
    ASSERT_FALSE(HasFatalFailure());
    // The window writes the language choice into its database: a copy.
    const test::TemporaryDirectory folder;
    std::filesystem::copy_file(TAVOLIX_SHIPPED_LANGUAGE_DB, folder.path() / "language.db");
    SearchDialogOptions options; // the program's own ports and address
    options.languageDbPath = QString::fromStdString(folder.path() / "language.db");
    options.markerFile = QString::fromStdString(folder.path() / "no-marker"); // MAC field hidden
    // The window and its worker are gone before the test thread leaves the host namespace.
    const test::ScopedNetns inHost(topology.name("host"));
    ASSERT_TRUE(inHost.entered()) << inHost.error();
    SearchDialog dialog(options);
    const DialogControls& controls = dialog.controls();
    const auto waitForRows = [&](int count) {
        return QTest::qWaitFor([&] { return controls.deviceList->count() == count; }, hangGuardMs);
    };
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    ASSERT_TRUE(waitForRows(5)) << "listed: " << controls.deviceList->count();
    EXPECT_EQ(controls.statusText->text(), QStringLiteral("OK"));

    // ChinaGB picked with an arrow key, as a user does; Update reads the texts in GB18030.
    controls.languageCombo->setCurrentIndex(0);
    QTest::keyClick(controls.languageCombo, Qt::Key_Down);
    QTest::mouseClick(controls.updateButton, Qt::LeftButton);
    ASSERT_TRUE(waitForRows(5));
    ASSERT_TRUE(clickRowNamed(*controls.deviceList, QStringLiteral("摄像机")));
    EXPECT_EQ(controls.pppoeAccountEdit->text(), QStringLiteral("用户"));
    controls.loginAccountEdit->setText(QStringLiteral("admin"));
    controls.loginPasswordEdit->setText(QStringLiteral("admin"));
    controls.nameEdit->setText(QStringLiteral("摄像机2号"));
    controls.ipAddressEdit->setText(QStringLiteral("198.18.1.77"));
    controls.httpPortEdit->setText(QStringLiteral("8081"));
    QTest::mouseClick(controls.dhcpRadio, Qt::LeftButton);
    // Mask, gateway and the PPPoE texts are as shown, so they are not sent. The window must go
    // on answering the worker until the device says which settings it took.
    QTest::mouseClick(controls.submitButton, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return std::ranges::count(sim->lines(), "apply 02005e200001 name ip port mode") > 0;
        },
        hangGuardMs))
        << sim->lines().back();
    const auto received = sim->datagrams("recv");
    ASSERT_EQ(received.size(), 3u) << "two searches, then the configuration";
    EXPECT_EQ(received[2].peer, "198.18.0.1:3566");
    ASSERT_EQ(received[2].bytes.size(), 256u);
    EXPECT_EQ(
        std::vector<uint8_t>(received[2].bytes.begin() + 47, received[2].bytes.begin() + 80),
        test::WireBytes().textRecord(0x20, 0x1F, "\xC9\xE3\xCF\xF1\xBB\xFA\x32\xBA\xC5").data())
        << "the Name record: 摄像机2号 in GBK";

    // The send resets the window; Update then lists the device under its new name, read back
    // in GB18030 (the settings a search shows: WorkerTests).
    ASSERT_TRUE(waitForRows(0));
    QTest::mouseClick(controls.updateButton, Qt::LeftButton);
    ASSERT_TRUE(waitForRows(5)) << "listed: " << controls.deviceList->count();
    EXPECT_TRUE(clickRowNamed(*controls.deviceList, QStringLiteral("摄像机2号")));
}

} // namespace
} // namespace tavolix::e2e

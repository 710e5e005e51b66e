// The real window, driven by a user's input, against simulated devices. It uses its default
// ports, so the test thread (and the worker it starts) stands in a network namespace of its own.
#include "BitmapButton.h"
#include "ByteImage.h"
#include "NamespaceTest.h"
#include "SearchDialog.h"
#include "TemporaryDirectory.h"
#include "TransparentLabel.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>
#include <algorithm>
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

// Selects all in the field and types over it key by key: QTest::keyClicks takes ASCII only.
void replaceText(QLineEdit* field, const QString& text)
{
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    for (const QChar character : text)
        QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(character),
                            Qt::NoModifier);
}

class ProgramEndToEndTest : public NamespaceTest
{
protected:
    void SetUp() override
    {
        NamespaceTest::SetUp();
        if (IsSkipped())
            return;
        // Kind 0 (a login taken), static, MACs 02005e200001 and 198.18.1.1 upwards; the first
        // holds its name and PPPoE texts in GBK, as devices set up on Chinese systems do.
        startDevices({"--count", "5", "--kind", "0", "--name", "CAM", "--mac-base", "02005e200001",
                      "--raw-texts", "c9e3cff1bbfa,d3c3bba7,c3dcc2eb"}); // 摄像机, 用户, 密码
        ASSERT_FALSE(HasFatalFailure());

        // The window writes the language choice into its database: a copy.
        std::filesystem::copy_file(TAVOLIX_SHIPPED_LANGUAGE_DB, folder.path() / "language.db");
        SearchDialogOptions options; // the program's own ports and address
        options.languageDbPath = QString::fromStdString(folder.path() / "language.db");
        // Never made: the MAC field stays hidden.
        options.markerFile = QString::fromStdString(folder.path() / "no-marker");

        inHost.emplace(topology.name("host"));
        ASSERT_TRUE(inHost->entered()) << inHost->error();
        dialog = std::make_unique<SearchDialog>(options);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        ASSERT_TRUE(waitForRows()) << "listed: " << controls().deviceList->count();
    }

    const DialogControls& controls() const { return dialog->controls(); }

    bool waitForRows(int count = 5)
    {
        return QTest::qWaitFor([&] { return controls().deviceList->count() == count; },
                               hangGuardMs);
    }

    void selectAndLogIn(const QString& name)
    {
        ASSERT_TRUE(clickRowNamed(*controls().deviceList, name)) << name.toStdString();
        replaceText(controls().loginAccountEdit, QStringLiteral("admin"));
        replaceText(controls().loginPasswordEdit, QStringLiteral("admin"));
    }

    // Submits and waits until the device says which settings it took (the bytes: unit tests).
    bool submitAndApply(const std::string& applied)
    {
        QTest::mouseClick(controls().submitButton, Qt::LeftButton);
        // The window must go on answering the worker meanwhile.
        return QTest::qWaitFor(
            [&] { return std::ranges::count(sim->lines(), "apply " + applied) > 0; }, hangGuardMs);
    }

    test::TemporaryDirectory folder;
    // Declared after the simulator and before the window: the window and its
    // worker are gone before the test thread leaves the host namespace.
    std::optional<test::ScopedNetns> inHost;
    std::unique_ptr<SearchDialog> dialog;
};

TEST_F(ProgramEndToEndTest, SubmitSendsTheEditedSettingsAndUpdateListsTheNewName)
{
    EXPECT_EQ(controls().statusText->text(), QStringLiteral("OK"));
    selectAndLogIn(QStringLiteral("CAM-005"));
    ASSERT_FALSE(HasFatalFailure());
    replaceText(controls().ipAddressEdit, QStringLiteral("198.18.1.77"));
    replaceText(controls().nameEdit, QStringLiteral("Gate-East"));
    replaceText(controls().httpPortEdit, QStringLiteral("8081"));
    QTest::mouseClick(controls().dhcpRadio, Qt::LeftButton);
    // Mask, gateway and the PPPoE texts are as stored, so they are not sent.
    ASSERT_TRUE(submitAndApply("02005e200005 name ip port mode")) << sim->lines().back();
    const auto received = sim->datagrams("recv");
    ASSERT_EQ(received.size(), 2u) << "the search, then the configuration";
    EXPECT_EQ(received[1].peer, std::string(hostAddress) + ":3566");

    // The send resets the window; Update then lists the device with its new name and settings.
    ASSERT_TRUE(waitForRows(0));
    QTest::mouseClick(controls().updateButton, Qt::LeftButton);
    ASSERT_TRUE(waitForRows()) << "listed: " << controls().deviceList->count();
    ASSERT_TRUE(clickRowNamed(*controls().deviceList, QStringLiteral("Gate-East")));
    EXPECT_EQ(controls().macGroup->title(), QStringLiteral("02005e200005"));
    EXPECT_EQ(controls().ipAddressEdit->text(), QStringLiteral("198.18.1.77"));
    EXPECT_EQ(controls().httpPortEdit->text(), QStringLiteral("8081"));
    EXPECT_TRUE(controls().dhcpRadio->isChecked()) << "the mode read from the window's buttons";
}

// Texts read and written in the code page in effect (which one each language implies: unit tests).
TEST_F(ProgramEndToEndTest, UntouchedTextsStayOffTheWireAndAnEditGoesOutInTheDevicesCodePage)
{
    // ChinaGB picked with an arrow key, as a user does; Update reads the texts in GB18030.
    controls().languageCombo->setCurrentIndex(0);
    QTest::keyClick(controls().languageCombo, Qt::Key_Down);
    QTest::mouseClick(controls().updateButton, Qt::LeftButton);
    ASSERT_TRUE(waitForRows());
    selectAndLogIn(QStringLiteral("摄像机"));
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(controls().pppoeAccountEdit->text(), QStringLiteral("用户"));
    replaceText(controls().nameEdit, QStringLiteral("摄像机2号"));
    // The PPPoE texts as shown are unchanged: no record for them.
    ASSERT_TRUE(submitAndApply("02005e200001 name mode")) << sim->lines().back();
    const std::vector<uint8_t> received = sim->datagrams("recv").back().bytes;
    ASSERT_EQ(received.size(), 256u);
    EXPECT_EQ(
        std::vector<uint8_t>(received.begin() + 47, received.begin() + 80),
        test::WireBytes().textRecord(0x20, 0x1F, "\xC9\xE3\xCF\xF1\xBB\xFA\x32\xBA\xC5").data())
        << "the Name record: 摄像机2号 in GBK";
    QTest::mouseClick(controls().updateButton, Qt::LeftButton);
    ASSERT_TRUE(waitForRows());
    EXPECT_TRUE(clickRowNamed(*controls().deviceList, QStringLiteral("摄像机2号")));
}

} // namespace
} // namespace tavolix::e2e

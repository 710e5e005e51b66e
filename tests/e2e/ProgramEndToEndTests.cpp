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
#include <QComboBox>
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

// Clicks into the field, selects everything in it and types the text key by
// key, letters beyond ASCII included (QTest::keyClicks takes ASCII only).
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
        startDevices(simOptions());
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

    // CAM-001 to CAM-005, kind 1 (login fields open), static addressing,
    // MACs 02005e200001 upwards, addresses 198.18.1.1 upwards, port 80.
    virtual std::vector<std::string> simOptions() const
    {
        return {"--count", "5",   "--kind",  "1",           "--mode",     "static",
                "--name",  "CAM", "--login", "admin:admin", "--mac-base", "02005e200001"};
    }

    const DialogControls& controls() const { return dialog->controls(); }

    // Picks a language in the box as a user does, with an arrow key.
    void chooseLanguage(int language)
    {
        const bool fromAbove = language > 0;
        controls().languageCombo->setCurrentIndex(fromAbove ? language - 1 : 1);
        QTest::keyClick(controls().languageCombo, fromAbove ? Qt::Key_Down : Qt::Key_Up);
    }

    // Submits, and returns the datagram that reached the devices; empty when none did.
    std::vector<uint8_t> submitAndReceive()
    {
        const std::size_t before = sim->datagrams("recv").size();
        QTest::mouseClick(controls().submitButton, Qt::LeftButton);
        if (!QTest::qWaitFor([&] { return sim->datagrams("recv").size() > before; }, hangGuardMs))
            return {};
        return sim->datagrams("recv").back().bytes;
    }

    void logIn()
    {
        replaceText(controls().loginAccountEdit, QStringLiteral("admin"));
        replaceText(controls().loginPasswordEdit, QStringLiteral("admin"));
    }

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
    logIn();
    const std::vector<uint8_t> configuration = submitAndReceive();
    const auto received = sim->datagrams("recv");
    ASSERT_EQ(received.size(), 2u) << "the search, then the configuration";
    EXPECT_EQ(received[1].peer, std::string(hostAddress) + ":3566");
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
    EXPECT_EQ(describeDifference(configuration, expected), "");

    // After the send the window is reset; Update then lists the device
    // under its new name, with its new settings.
    ASSERT_TRUE(QTest::qWaitFor([&] { return controls().deviceList->count() == 0; }, hangGuardMs));
    QTest::mouseClick(controls().updateButton, Qt::LeftButton);
    ASSERT_TRUE(waitForRows(5)) << "listed: " << controls().deviceList->count();
    ASSERT_TRUE(clickRowNamed(*controls().deviceList, QStringLiteral("Gate-East")));
    EXPECT_EQ(controls().macGroup->title(), QStringLiteral("02005e200003"));
    EXPECT_EQ(controls().ipAddressEdit->text(), QStringLiteral("198.18.1.77"));
    EXPECT_EQ(controls().httpPortEdit->text(), QStringLiteral("8081"));
}

// Four kind-0 devices whose name and PPPoE texts are neither ASCII nor UTF-8:
// Latin-1, GBK, Big5 and Shift-JIS, as devices set up on such systems hold them.
class LegacyTextsEndToEndTest : public ProgramEndToEndTest
{
protected:
    std::vector<std::string> simOptions() const override
    {
        return {"--count",     "4",
                "--kind",      "0",
                "--mode",      "static",
                "--login",     "admin:admin",
                "--mac-base",  "02005e300001",
                "--raw-texts", "63616de97261,616e6472e9,7365f1616c",  // caméra, andré, señal
                "--raw-texts", "c9e3cff1bbfa,d3c3bba7,c3dcc2eb",      // 摄像机, 用户, 密码
                "--raw-texts", "c4e1bc76bef7,b162b8b9,b14bbd58",      // 攝影機, 帳號, 密碼
                "--raw-texts", "834a83818389,8386815b8355,94e996a7"}; // カメラ, ユーザ, 秘密
    }

    // The language's texts shown, then Submit with only the login typed.
    void selectUnderLanguage(int language, const QString& name)
    {
        chooseLanguage(language);
        QTest::mouseClick(controls().updateButton, Qt::LeftButton);
        ASSERT_TRUE(waitForRows(4));
        ASSERT_TRUE(clickRowNamed(*controls().deviceList, name)) << name.toStdString();
        logIn();
    }
};

TEST_F(LegacyTextsEndToEndTest, UntouchedTextsStayOffTheWireAndAnEditGoesOutInTheDevicesCodePage)
{
    const struct
    {
        int language;
        QString name;
        QString account;
        uint8_t macEnd;
    } rows[] = {
        {3, QStringLiteral("caméra"), QStringLiteral("andré"), 0x01},  // French: Windows-1252
        {1, QStringLiteral("摄像机"), QStringLiteral("用户"), 0x02},   // ChinaGB: GB18030
        {2, QStringLiteral("攝影機"), QStringLiteral("帳號"), 0x03},   // ChinaBG: Big5
        {5, QStringLiteral("カメラ"), QStringLiteral("ユーザ"), 0x04}, // Japan: Shift-JIS
    };
    ASSERT_TRUE(waitForRows(4));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.language);
        selectUnderLanguage(row.language, row.name);
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_EQ(controls().nameEdit->text(), row.name);
        EXPECT_EQ(controls().pppoeAccountEdit->text(), row.account);
        EXPECT_TRUE(controls().loginAccountEdit->isEnabled()) << "a kind-0 device takes a login";
        // The magic, the login, the target and the mode: no Name, no PPPoE record.
        const std::vector<uint8_t> expected =
            byteImage(256, {
                               {0, ascii("VXL83")},            // magic
                               {5, {0x32, 0x20}},              // Credentials
                               {7, ascii("YWRtaW46YWRtaW4=")}, // 7-38
                               {39, {0x10, 0x06, 0x02, 0x00, 0x5e, 0x30, 0x00, row.macEnd}}, // Mac
                               {47, {0x1F, 0x04, 0xFF, 0xFF, 0xFF, 0xFF}}, // NetworkMode static
                           });                                             // 53-255 zero
        EXPECT_EQ(describeDifference(submitAndReceive(), expected), "");
        EXPECT_TRUE(sim->waitForLine("apply 02005e30000" + std::to_string(row.macEnd) + " mode"))
            << "the device did not take the login";
    }

    // A name edited under ChinaGB goes out in GBK, and the device takes it.
    selectUnderLanguage(1, QStringLiteral("摄像机"));
    ASSERT_FALSE(HasFatalFailure());
    replaceText(controls().nameEdit, QStringLiteral("摄像机2号"));
    const std::vector<uint8_t> received = submitAndReceive();
    ASSERT_EQ(received.size(), 256u);
    const std::vector<uint8_t> name = {0x20, 0x1F, 0xC9, 0xE3, 0xCF, 0xF1,
                                       0xBB, 0xFA, 0x32, 0xBA, 0xC5, 0};
    EXPECT_EQ(std::vector<uint8_t>(received.begin() + 47, received.begin() + 59), name);
    ASSERT_TRUE(sim->waitForLine("apply 02005e300002 name mode")) << sim->lines().back();
    QTest::mouseClick(controls().updateButton, Qt::LeftButton);
    ASSERT_TRUE(waitForRows(4));
    EXPECT_TRUE(clickRowNamed(*controls().deviceList, QStringLiteral("摄像机2号")));
}

} // namespace
} // namespace tavolix::e2e

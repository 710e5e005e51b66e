// What the window shows and lets change, what it sends to a device on loopback, and how it ends.

#include "ByteImage.h"
#include "PendingRows.h"
#include "ReplyParser.h"
#include "TransparentLabel.h"
#include "UiTestSupport.h"

#include <QComboBox>
#include <QGroupBox>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <future>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace tavolix::test {
namespace {

using namespace std::chrono_literals;

DeviceRecord named(uint8_t macByte, const std::string& name)
{
    DeviceRecord device;
    device.mac = {0x02, 0, 0, 0, 0, macByte};
    setFieldText(device.name, name);
    return device;
}

std::string joined(const QStringList& texts, QChar separator = u' ')
{
    return texts.join(separator).toStdString();
}

TEST(DeviceDisplay, RowsAreListedAndASelectionShowsTheRecordOpensItsPageAndEnablesWhatItAllows)
{
    // Mode bytes 0-1 are PPPoE, 2-3 DHCP, 0xFF is off: the summary's word needs
    // both bytes of a pair, the radio buttons only the first.
    // name, kind, mode, HTTP port, summary word, controlState()
    const std::tuple<std::string, int, std::array<uint8_t, 4>, int, const char*, const char*>
        cases[] = {
            // clang-format off
        {"k1-pppoe",      1, {1, 1, 0xFF, 0xFF},    80,   "PPPOE",  "P EE EEE DD D D EE EE E"},
        {"k1-dhcp",       1, {0xFF, 0xFF, 1, 1},    8080, "DHCP",   "D EE DDD DD D D EE EE E"},
        {"k1-static",     1, {0xFF, 0xFF, 0xFF, 0xFF}, 80, "STATIC", "S EE EEE DD D D EE EE E"},
        {"k1-zeros",      1, {0, 0, 0, 0},          0,    "PPPOE",  "P EE DDD DD D D EE EE E"},
        {"k0-half-pppoe", 0, {1, 0xFF, 0xFF, 0xFF}, 80,   "STATIC", "P EE DDD DD E E EE EE E"},
        {"k0-half-dhcp",  0, {0xFF, 0xFF, 1, 0xFF}, 80,   "STATIC", "D EE DDD DD E E EE EE E"},
        {"k3-static",     3, {0xFF, 0xFF, 0xFF, 0xFF}, 80, "STATIC", "S DD DDD DD D D DD DD D"},
        {"k0-static",     0, {0xFF, 0xFF, 0xFF, 0xFF}, 80, "STATIC", "S EE EEE DD E E EE EE E"},
            // clang-format on
        };
    DialogHarness harness;
    const DialogControls& c = harness.controls();
    SearchDialog& dialog = harness.dialog();
    DeviceTable& table = dialog.workerControl().table;
    const auto emptyListAndTable = [&] {
        c.deviceList->clear();
        table.clear();
    };
    UrlCatcher urls;
    // Rows the table does not back (list and table out of step) show and open nothing: one
    // naming an empty slot, one past the table's count though it names the stored device.
    ASSERT_EQ(table.store(named(9, "")), 255);
    c.deviceList->addItems({u"1 ghost"_s, u"255 phantom"_s});
    ASSERT_TRUE(harness.clickRowNamed("ghost", true) && harness.clickRowNamed("phantom", true));
    EXPECT_TRUE(urls.opened.isEmpty());
    EXPECT_EQ(c.macGroup->title(), u"ffffffffffff"_s);
    emptyListAndTable();

    uint8_t number = 0;
    for (const auto& [name, kind, mode, httpPort, word, state] : cases)
        ASSERT_TRUE(harness.deliver({kind, name, {2, 0, 0, 0, 0, ++number}, httpPort, mode}));
    number = 0;
    for (const auto& [name, kind, mode, httpPort, word, state] : cases) {
        SCOPED_TRACE(name);
        c.staticRadio->setChecked(true); // a button set by hand is set again from the record
        const qsizetype opened = urls.opened.size();
        ASSERT_TRUE(harness.clickRowNamed(name, true));
        EXPECT_EQ(joined({c.nameEdit->text(), c.ipAddressEdit->text(), c.subnetMaskEdit->text(),
                          c.gatewayEdit->text(), c.httpPortEdit->text(), c.pppoeAccountEdit->text(),
                          c.macGroup->title(), c.deviceInfoText->text()}) +
                      controlState(c),
                  name + " 192.168.1.10 255.255.255.0 192.168.1.1 " + std::to_string(httpPort) +
                      " dsl-user 02000000000" + std::to_string(++number) + " IP Get:" + word +
                      "\r\nV:1.2\r\n" + state);
        ASSERT_TRUE(QTest::qWaitFor([&] { return urls.opened.size() > opened; }));
        EXPECT_EQ(urls.opened.last().toString(QUrl::None),
                  httpPort == 80 ? u"http://192.168.1.10"_s
                                 : u"http://192.168.1.10:%1/"_s.arg(httpPort));
    }
    EXPECT_FALSE(c.macEdit->isVisibleTo(&dialog) || c.macLabel->isVisibleTo(&dialog) ||
                 !c.macEdit->text().isEmpty());

    // The mode buttons of the last device, which allows all three.
    const std::pair<QRadioButton*, const char*> steps[] = {
        {c.pppoeRadio, "P EE DDD EE E E EE EE E"},
        {c.pppoeRadio, "P EE DDD EE E E EE EE E"}, // a button that is on stays on
        {c.dhcpRadio, "D EE DDD DD E E EE EE E"},
        {c.staticRadio, "S EE EEE DD E E EE EE E"},
    };
    for (const auto& [clicked, state] : steps) {
        QTest::mouseClick(clicked, Qt::LeftButton, {}, clicked->rect().center());
        EXPECT_EQ(controlState(c), state);
        EXPECT_EQ(c.ipAddressEdit->text(), u"192.168.1.10"_s);
    }

    const QList<QLineEdit*> fields = dialog.findChildren<QLineEdit*>(); // all ten
    ASSERT_EQ(fields.size(), 10);
    for (QLineEdit* edit : fields) {
        edit->setEnabled(true);
        edit->setText(u"typed"_s);
    }
    QTest::mouseClick(c.updateButton, Qt::LeftButton);
    // Emptied at once, before the worker's reset: rows and the table they index.
    EXPECT_EQ(c.deviceList->count(), 0);
    EXPECT_EQ(dialog.workerControl().table.usedSlotCount(), 0);
    EXPECT_EQ(harness.device().nextDatagram(), searchRequestImage());
    ASSERT_TRUE(QTest::qWaitFor([&] { return c.macGroup->title() == u"ffffffffffff"_s; }));
    for (QLineEdit* edit : fields)
        EXPECT_TRUE(edit->text().isEmpty() && !edit->isEnabled()) << edit->x() << ',' << edit->y();
    EXPECT_TRUE(c.deviceInfoText->text().isEmpty());
    EXPECT_EQ(controlState(c), " DD DDD DD D E EE DD E"); // the buttons are left as they were
    ASSERT_TRUE(harness.deliver({0, "camera"}));          // the next replies fill the list again

    const QListWidget& list = *c.deviceList;
    // As the worker does, from a thread of its own; true when that returned
    // while the window's thread served nothing.
    const auto handOver = [&](std::vector<std::pair<uint8_t, std::string>> devices) {
        auto worker = std::async(std::launch::async, [&] {
            for (const auto& [macByte, name] : devices) {
                DeviceRecord device = named(macByte, name);
                device.slot = table.store(device);
                dialog.workerBridge().addListRow(device.slot, listRowText(device));
            }
        });
        const bool returned = worker.wait_for(5s) == std::future_status::ready;
        while (worker.wait_for(0s) != std::future_status::ready)
            QTest::qWait(2);
        return returned;
    };
    const auto rows = [&] {
        QStringList texts;
        for (int row = 0; row < list.count(); ++row)
            texts.append(list.item(row)->text());
        return joined(texts, u'|');
    };

    // Emptied while a row waits to be listed, and its slot taken by another
    // device before the window comes to it: the row would misname that device.
    emptyListAndTable();
    ASSERT_TRUE(handOver({{3, "gone"}}));
    emptyListAndTable();
    ASSERT_EQ(table.store(named(4, "")), 255);
    QTest::qWait(50);
    EXPECT_EQ(list.count(), 0);
    ASSERT_TRUE(handOver({{4, "new"}})); // its own row follows
    ASSERT_TRUE(QTest::qWaitFor([&] { return list.count() != 0; }));
    EXPECT_EQ(rows(), "255 new");

    // New devices fill the table from slot 255 down; 254 of them reach slot 2.
    emptyListAndTable();
    for (int slot = 255; slot >= 2; --slot)
        ASSERT_EQ(table.store(named(static_cast<uint8_t>(slot), "dev-" + std::to_string(slot))),
                  slot);
    // Slot 10 has its row when "renamed" comes; slot 1 holds no device.
    for (const auto& [slot, text] : {std::pair{2, "2 dev-2"},
                                     {12, "12 dev-12"},
                                     {10, "10 dev-10"},
                                     {10, "10 renamed"},
                                     {1, "1 ghost"}})
        dialog.workerBridge().addListRow(slot, text);
    EXPECT_EQ(rows(), "10 dev-10|12 dev-12|2 dev-2");
    ASSERT_TRUE(harness.clickRowNamed("dev-2"));
    EXPECT_EQ(c.nameEdit->text(), u"dev-2"_s);
}

// Rows wait one per slot, the first named, and an emptied table's rows go.
TEST(PendingRows, ASlotWaitsOnceAndANewerTableDropsTheRowsOfTheOlder)
{
    PendingRows pending;
    for (const auto& [slot, text, generation] :
         {std::tuple{5, "5 a", 1u}, {7, "7 b", 1u}, {6, "6 c", 2u}, {6, "6 d", 2u}, {5, "5 e", 2u}})
        pending.add(slot, text, generation);
    const PendingRows::Batch batch = pending.take();
    std::string rows = std::to_string(batch.tableGeneration);
    for (const PendingRows::Row& row : batch.rows)
        rows += '|' + row.text;
    EXPECT_EQ(rows, "2|6 c|5 e");
}

TEST(Commands, SubmitRefusesAMissingLoginKeepsTheEditsAndSendsThemInTheLanguagesCodePage)
{
    DialogHarness harness(true); // with the marker file: the MAC field shows
    const DialogControls& c = harness.controls();
    ASSERT_TRUE(harness.deliver({1, "camera", {0x00, 0x11, 0x22, 0x33, 0x44, 0x55}}));
    ASSERT_TRUE(harness.deliver({1, "doorbell", {0x00, 0x11, 0x22, 0x33, 0x44, 0x66}}));
    ASSERT_TRUE(harness.clickRowNamed("camera"));

    // Counted in UTF-8 bytes as typed: a 17th byte is not taken, whatever character brings it.
    const std::pair<QString, QString> logins[] = {
        {u"abcdefghijklmnopq"_s, u"abcdefghijklmnop"_s},
        {u"äääääääää"_s, u"ääääääää"_s},
        {u"abcdefghijklmnoäp"_s, u"abcdefghijklmnop"_s}, // "ä" would make 17
    };
    for (const auto& [typed, kept] : logins) {
        for (QLineEdit* login : {c.loginAccountEdit, c.loginPasswordEdit}) {
            login->clear();
            for (const QChar character : typed) // keyClicks takes ASCII only
                QTest::sendKeyEvent(QTest::Click, login, Qt::Key_unknown, QString(character),
                                    Qt::NoModifier);
            EXPECT_EQ(login->text(), kept);
        }
    }
    for (const QLineEdit* secret : {c.pppoePasswordEdit, c.loginPasswordEdit})
        EXPECT_EQ(secret->echoMode(), QLineEdit::Password);

    const auto edit = [&] {
        c.nameEdit->selectAll();
        QTest::keyClicks(c.nameEdit, u"porch"_s);
        QTest::mouseClick(c.dhcpRadio, Qt::LeftButton, {}, c.dhcpRadio->rect().center());
    };
    edit();
    // The fields and the list the refusals leave as they were.
    const auto shown = [&] {
        return joined({c.nameEdit->text(), c.ipAddressEdit->text(), c.loginAccountEdit->text(),
                       c.loginPasswordEdit->text(), c.macGroup->title(), c.macEdit->text(),
                       QString::number(c.deviceList->count())}) +
               ' ' + controlState(c);
    };
    // Which refusal comes when is the composer's test; here the box, and what it leaves.
    c.loginAccountEdit->clear();
    c.loginPasswordEdit->setText(u"secret"_s);
    const std::string typed = shown();
    QTest::mouseClick(c.submitButton, Qt::LeftButton);
    QMessageBox* box = waitForMessageBox(harness.dialog());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), u"No Account !!"_s);
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return harness.dialog().workerControl().command == 0; }));
    EXPECT_FALSE(harness.device().receive().has_value()) << "sent after the box";
    EXPECT_EQ(shown(), typed);

    c.loginAccountEdit->setText(u"abcdefghijklmnop"_s);
    c.loginPasswordEdit->setText(u"ABCDEFGHIJKLMNOP"_s);
    ASSERT_TRUE(harness.clickRowNamed("doorbell")); // the login stays; the MAC field shows
    EXPECT_EQ(joined({c.loginAccountEdit->text(), c.loginPasswordEdit->text(),
                      c.macLabel->isVisible() ? c.macEdit->text() : u"hidden"_s}),
              "abcdefghijklmnop ABCDEFGHIJKLMNOP 001122334466");
    edit();
    QTest::mouseClick(c.submitButton, Qt::LeftButton);

    // The login ("account:password" in Base64), the target's MAC, the new name and DHCP: the
    // address, unchanged, is not sent.
    EXPECT_EQ(harness.device().nextDatagram(),
              WireBytes()
                  .text("VXL83")
                  .textRecord(0x32, 0x20, "YWJjZGVmZ2hpamtsbW5vcDpBQkNERUZH")
                  .record(0x10, 0x06, {0x00, 0x11, 0x22, 0x33, 0x44, 0x66})
                  .textRecord(0x20, 0x1F, "porch")
                  .record(0x1F, 0x04, {0xFF, 0xFF, 0x01, 0xFF})
                  .padTo(256)
                  .data());

    EXPECT_TRUE(QTest::qWaitFor([&] { return c.deviceList->count() == 0; }));

    // The language sets the code page of the device's texts: ChinaGB, picked as a user does,
    // reads this name and PPPoE account held in GBK, and writes the new name in it.
    QTest::keyClick(c.languageCombo, Qt::Key_Down); // from English, as the shipped file starts
    FakeDevice camera{0, "\xC9\xE3\xCF\xF1\xBB\xFA", {0x02, 0x00, 0x5e, 0x20, 0x00, 0x01}};
    camera.pppoeAccount = "\xD3\xC3\xBB\xA7";
    harness.device().reply(replyDatagram(camera));
    ASSERT_TRUE(QTest::qWaitFor([&] { return c.deviceList->count() == 1; }));
    ASSERT_TRUE(harness.clickRowNamed("摄像机"));
    EXPECT_EQ(c.pppoeAccountEdit->text(), u"用户"_s);
    c.loginAccountEdit->setText(u"admin"_s);
    c.loginPasswordEdit->setText(u"admin"_s);
    c.nameEdit->setText(u"摄像机2号"_s);
    QTest::mouseClick(c.submitButton, Qt::LeftButton);
    // The account and the MAC, left as shown, are not sent.
    EXPECT_EQ(harness.device().nextDatagram(),
              WireBytes()
                  .text("VXL83")
                  .textRecord(0x32, 0x20, "YWRtaW46YWRtaW4=")
                  .record(0x10, 0x06, {0x02, 0x00, 0x5e, 0x20, 0x00, 0x01})
                  .textRecord(0x20, 0x1F, "\xC9\xE3\xCF\xF1\xBB\xFA\x32\xBA\xC5")
                  .record(0x1F, 0x04, {0xFF, 0xFF, 0xFF, 0xFF})
                  .padTo(256)
                  .data());
}

TEST(Lifecycle, EnterDoesNothingAndEveryWayOutEndsTheRunWithZeroEvenWhileTheWorkerWaits)
{
    const auto escape = [](DialogHarness& h) { QTest::keyClick(&h.dialog(), Qt::Key_Escape); };
    QPointer<QMessageBox> workerBox;
    const std::pair<const char*, std::function<void(DialogHarness&)>> exits[] = {
        {"Exit button",
         [](DialogHarness& h) { QTest::mouseClick(h.controls().exitButton, Qt::LeftButton); }},
        {"close button, left edge",
         [](DialogHarness& h) {
             QTest::mouseClick(&h.dialog(), Qt::LeftButton, {}, QPoint(468 - 52, 0) + clientOrigin);
         }},
        // Nothing selected and no login: the worker waits on its refusal box.
        {"Escape, worker waits on its message box",
         [&](DialogHarness& h) {
             QTest::mouseClick(h.controls().submitButton, Qt::LeftButton);
             workerBox = waitForMessageBox(h.dialog());
             ASSERT_FALSE(workerBox.isNull()) << "the worker's message box never opened";
             EXPECT_EQ(
                 std::tuple(workerBox->windowTitle(), workerBox->icon(), workerBox->isModal()),
                 std::tuple(u"NVR"_s, QMessageBox::Critical, false));
             escape(h);
         }},
        // The worker hands the row over without waiting; Escape arrives while
        // the window has not listed it yet.
        {"Escape, worker waits in a window call",
         [&](DialogHarness& h) {
             h.device().reply(replyDatagram({0, "late"}));
             std::this_thread::sleep_for(50ms);
             escape(h);
         }},
        // Window events are not served here: once the search has arrived, the
        // worker is stuck in the display reset that follows the send.
        {"Escape, worker waits in its display reset",
         [&](DialogHarness& h) {
             h.dialog().workerControl().setCommand(SearchCommand);
             std::optional<std::vector<uint8_t>> search;
             for (int waited = 0; waited < 5000 && !search; waited += 2) {
                 std::this_thread::sleep_for(2ms);
                 search = h.device().receive();
             }
             EXPECT_EQ(search, searchRequestImage());
             escape(h);
         }},
    };
    for (const auto& exit : exits) {
        SCOPED_TRACE(exit.first);
        DialogHarness harness;
        SearchDialog& dialog = harness.dialog();
        bool runningAfterEnter = false;
        QTimer::singleShot(0, &dialog, [&] {
            // Enter, also on a focused button, neither closes nor clicks anything.
            harness.controls().exitButton->setFocus();
            QTest::keyClick(harness.controls().exitButton, Qt::Key_Return);
            QTest::keyClick(&dialog, Qt::Key_Enter);
            QTest::qWait(20);
            runningAfterEnter = dialog.isVisible();
            exit.second(harness);
        });
        const int exitCode = dialog.exec();
        // Exit code, run after Enter, shown, worker running, box shown, anything sent (with the
        // worker joined, it would be here already).
        EXPECT_EQ(std::tuple(exitCode, runningAfterEnter, dialog.isVisible(),
                             dialog.isWorkerRunning(),
                             !workerBox.isNull() && workerBox->isVisible(),
                             harness.device().receive().has_value()),
                  std::tuple(0, true, false, false, false, false));
    }
}

// A worker that cannot be woken would sleep through its stop, and Exit would wait for it forever.
TEST(Lifecycle, AWorkerWithoutItsWakeUpSignalSaysSoAndEndsAtOnce)
{
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizers' runtime opens a pipe to check memory it reports on; with every
    // descriptor taken it reports its own failure as a fault of ours.
    GTEST_SKIP() << "needs free descriptors the sanitizer runtime would take";
#endif
    QWidget window;
    TransparentLabel status(&window);
    DialogControls controls;
    controls.statusText = &status;
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    const int lowestFree = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(lowestFree, 0);
    ::close(lowestFree);
    const rlimit full{static_cast<rlim_t>(lowestFree), limit.rlim_max}; // none for the eventfd
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &full), 0);
    WorkerBridge bridge(window, controls, {[] {}, [] { return LegacyCodePage::Windows1252; }});
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    LoopbackDevice device;
    bridge.control().command.store(SearchCommand);
    bridge.start({0, device.port(), "127.0.0.1"});
    const bool reported = QTest::qWaitFor(
        [&] { return status.text() == u"ERR: eventfd() error! Errorcode =%1\n"_s.arg(EMFILE); });
    EXPECT_TRUE(reported) << status.text().toStdString();
    if (!reported) { // a reply wakes it to see its stop, so that this test ends
        bridge.control().requestStop();
        if (device.nextDatagram())
            device.reply(replyDatagram({}));
    }
    bridge.stop();
    EXPECT_FALSE(device.receive().has_value()) << "searched without a way to stop";
}

} // namespace
} // namespace tavolix::test

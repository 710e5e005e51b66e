// How the window ends, and that it never ends by accident.

#include "BitmapButton.h"
#include "Datagram.h"
#include "TransparentLabel.h"
#include "UiTestSupport.h"

#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace tavolix::test {
namespace {

QMessageBox* openMessageBox(SearchDialog& dialog)
{
    for (QMessageBox* box : dialog.findChildren<QMessageBox*>()) {
        if (box->isVisible())
            return box;
    }
    return nullptr;
}

void expectEnded(SearchDialog& dialog)
{
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_FALSE(dialog.isWorkerRunning());
    EXPECT_NE(dialog.workerControl().stop.load(), 0);
}

TEST(Lifecycle, EnterNeitherClosesTheWindowNorClicksAButton)
{
    DialogHarness harness;
    ASSERT_TRUE(harness.waitForStartUp());
    SearchDialog& dialog = harness.dialog();
    const DialogControls& c = harness.controls();
    QSignalSpy updateClicks(c.updateButton, &QAbstractButton::clicked);
    QSignalSpy exitClicks(c.exitButton, &QAbstractButton::clicked);

    c.exitButton->setFocus();
    QTest::keyClick(c.exitButton, Qt::Key_Return);
    c.updateButton->setFocus();
    QTest::keyClick(c.updateButton, Qt::Key_Enter);
    QTest::keyClick(c.deviceList, Qt::Key_Return);
    QTest::keyClick(&dialog, Qt::Key_Return);
    QTest::qWait(20);

    EXPECT_EQ(updateClicks.count(), 0);
    EXPECT_EQ(exitClicks.count(), 0);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.isWorkerRunning());
}

TEST(Lifecycle, EscapeExitAndCloseRequestAllEndTheRunWithZero)
{
    struct Exit
    {
        const char* name;
        void (*perform)(SearchDialog&, const DialogControls&);
    };
    const Exit exits[] = {
        {"Escape",
         [](SearchDialog& d, const DialogControls&) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {"Exit button",
         [](SearchDialog&, const DialogControls& c) {
             QTest::mouseClick(c.exitButton, Qt::LeftButton);
         }},
        {"close request", [](SearchDialog& d, const DialogControls&) { d.close(); }},
    };
    for (const Exit& exit : exits) {
        SCOPED_TRACE(exit.name);
        DialogHarness harness;
        ASSERT_TRUE(harness.waitForStartUp());
        SearchDialog& dialog = harness.dialog();
        int runResult = -1;
        QTimer::singleShot(0, &dialog, [&] { exit.perform(dialog, harness.controls()); });
        runResult = dialog.exec();
        EXPECT_EQ(runResult, 0);
        expectEnded(dialog);
    }
}

TEST(Lifecycle, AWorkerThatCannotStartLeavesAUsableWindowThatStillEnds)
{
    LoopbackDevice portHolder;
    DialogHarness harness(false, portHolder.port());
    SearchDialog& dialog = harness.dialog();
    ASSERT_TRUE(waitUntil([&] { return dialog.workerControl().stop.load() != 0; }));
    EXPECT_TRUE(waitUntil([&] {
        return harness.controls().statusText->text() ==
               QStringLiteral("ERR: bind() error! Errorcode =%1\n").arg(EADDRINUSE);
    }));
    QTimer::singleShot(0, &dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); });
    EXPECT_EQ(dialog.exec(), 0);
    expectEnded(dialog);
}

TEST(Lifecycle, DismissingTheWorkersMessageBoxLetsItSearchInstead)
{
    DialogHarness harness;
    ASSERT_TRUE(harness.waitForStartUp());
    SearchDialog& dialog = harness.dialog();
    // Nothing selected and no login typed: the worker refuses to configure.
    QTest::mouseClick(harness.controls().submitButton, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return openMessageBox(dialog) != nullptr; }));
    QMessageBox* box = openMessageBox(dialog);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("NVR"));
    EXPECT_EQ(box->text(), QStringLiteral("No Account !!"));
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_FALSE(box->isModal()); // the window stays usable meanwhile

    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    const std::optional<std::vector<uint8_t>> sent = harness.device().nextDatagram();
    ASSERT_TRUE(sent.has_value());
    const RequestBuffer search = searchRequest();
    EXPECT_TRUE(std::equal(sent->begin(), sent->end(), search.begin(), search.end()));
    EXPECT_TRUE(dialog.isWorkerRunning());
}

TEST(Lifecycle, EscapeWhileTheWorkerWaitsOnItsMessageBoxEndsEverything)
{
    DialogHarness harness;
    ASSERT_TRUE(harness.waitForStartUp());
    SearchDialog& dialog = harness.dialog();
    QPointer<QMessageBox> box;
    QTimer::singleShot(0, &dialog, [&] {
        QTest::mouseClick(harness.controls().submitButton, Qt::LeftButton);
        if (waitUntil([&] { return openMessageBox(dialog) != nullptr; }))
            box = openMessageBox(dialog);
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    const int runResult = dialog.exec();

    ASSERT_FALSE(box.isNull()) << "the worker's message box never opened";
    EXPECT_FALSE(box->isVisible());
    EXPECT_EQ(runResult, 0);
    expectEnded(dialog);
    EXPECT_TRUE(waitUntil([&] { return box.isNull(); })); // and deleted
    // The worker ended without sending the search that a dismissed box would
    // have led to; with it joined, anything it sent would be here already.
    EXPECT_FALSE(harness.device().hasPendingDatagram());
}

TEST(Lifecycle, EscapeWhileTheWorkerWaitsInAWindowCallServesItAndEnds)
{
    DialogHarness harness;
    ASSERT_TRUE(harness.waitForStartUp());
    SearchDialog& dialog = harness.dialog();
    QTimer::singleShot(0, &dialog, [&] {
        FakeDevice device;
        device.name = "late";
        harness.device().reply(replyDatagram(device));
        // Without serving window events the worker is soon stuck in its
        // call that adds the row, and is still there when Escape arrives.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.exec(), 0);
    expectEnded(dialog);
}

TEST(Lifecycle, DestroyingTheDialogStopsAWorkerThatWaitsOnItsMessageBox)
{
    auto harness = std::make_unique<DialogHarness>();
    ASSERT_TRUE(harness->waitForStartUp());
    QTest::mouseClick(harness->controls().submitButton, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return openMessageBox(harness->dialog()) != nullptr; }));
    // Fails by hanging (the test's time limit) if the worker is never released.
    harness.reset();
}

} // namespace
} // namespace tavolix::test

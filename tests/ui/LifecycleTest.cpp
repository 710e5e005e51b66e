// How the window ends, and that it never ends by accident.

#include "BitmapButton.h"
#include "DialogGeometry.h"
#include "UiTestSupport.h"

#include <QMessageBox>
#include <QTest>
#include <QTimer>
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
    EXPECT_FALSE(dialog.isWorkerRunning());
}

TEST(Lifecycle, EnterDoesNothingAndEscapeExitAndCloseRequestAllEndTheRunWithZero)
{
    const struct
    {
        const char* name;
        void (*perform)(SearchDialog&);
        bool workerCannotBind; // the worker has ended already
    } exits[] = {
        {"Escape", [](SearchDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }, false},
        {"Exit button",
         [](SearchDialog& d) { QTest::mouseClick(d.controls().exitButton, Qt::LeftButton); },
         false},
        {"close request", [](SearchDialog& d) { d.close(); }, false},
        {"close button, left edge",
         [](SearchDialog& d) {
             QTest::mouseClick(&d, Qt::LeftButton, {}, QPoint(468 - 52, 0) + clientOrigin);
         },
         false},
        {"Escape, worker ended", [](SearchDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); },
         true},
    };
    for (const auto& exit : exits) {
        SCOPED_TRACE(exit.name);
        DialogHarness harness(false, exit.workerCannotBind);
        SearchDialog& dialog = harness.dialog();
        bool runningAfterEnter = false;
        QTimer::singleShot(0, &dialog, [&] {
            // Enter, also on a focused button, neither closes nor clicks anything.
            harness.controls().exitButton->setFocus();
            QTest::keyClick(harness.controls().exitButton, Qt::Key_Return);
            QTest::keyClick(&dialog, Qt::Key_Enter);
            QTest::qWait(20);
            runningAfterEnter = dialog.isVisible();
            exit.perform(dialog);
        });
        EXPECT_EQ(dialog.exec(), 0);
        EXPECT_TRUE(runningAfterEnter);
        expectEnded(dialog);
    }
}

TEST(Lifecycle, EscapeWhileTheWorkerWaitsOnItsMessageBoxEndsEverything)
{
    DialogHarness harness;
    SearchDialog& dialog = harness.dialog();
    // Nothing selected and no login typed: the worker refuses to configure,
    // and sends nothing once its box is dismissed.
    QTest::mouseClick(harness.controls().submitButton, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return openMessageBox(dialog) != nullptr; }));
    QMessageBox* box = openMessageBox(dialog);
    EXPECT_EQ(box->windowTitle(), u"NVR"_s);
    EXPECT_EQ(box->text(), u"No Account !!"_s);
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_FALSE(box->isModal()); // the window stays usable meanwhile
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return dialog.workerControl().command == NoCommand; }));

    // The same again, but Escape while the box is open.
    QPointer<QMessageBox> secondBox;
    QTimer::singleShot(0, &dialog, [&] {
        QTest::mouseClick(harness.controls().submitButton, Qt::LeftButton);
        if (waitUntil([&] { return openMessageBox(dialog) != nullptr; }))
            secondBox = openMessageBox(dialog);
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.exec(), 0);
    ASSERT_FALSE(secondBox.isNull()) << "the worker's message box never opened";
    EXPECT_FALSE(secondBox->isVisible());
    expectEnded(dialog);
    // The worker sent nothing after either box; with it joined, anything it
    // sent would be here already.
    EXPECT_FALSE(harness.device().receive().has_value());
}

TEST(Lifecycle, EscapeWhileTheWorkerWaitsInAWindowCallServesItAndEnds)
{
    DialogHarness harness;
    SearchDialog& dialog = harness.dialog();
    QTimer::singleShot(0, &dialog, [&] {
        harness.device().reply(replyDatagram({0, "late"}));
        // The worker hands the row over without waiting; Escape arrives
        // while the window has not listed it yet.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.exec(), 0);
    expectEnded(dialog);
}

TEST(Lifecycle, EscapeWhileTheWorkerWaitsInItsDisplayResetServesItAndEnds)
{
    DialogHarness harness;
    SearchDialog& dialog = harness.dialog();
    QTimer::singleShot(0, &dialog, [&] {
        dialog.workerControl().setCommand(SearchCommand);
        // Window events are not served here: once the search has arrived,
        // the worker is stuck in the display reset that follows the send.
        std::optional<std::vector<uint8_t>> search;
        for (int waited = 0; waited < 5000 && !search; waited += 2) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            search = harness.device().receive();
        }
        EXPECT_TRUE(isSearch(search));
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.exec(), 0);
    expectEnded(dialog);
}

} // namespace
} // namespace tavolix::test

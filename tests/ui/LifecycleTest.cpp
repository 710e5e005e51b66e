// How the window ends, and that it never ends by accident.

#include "UiTestSupport.h"

#include <QPointer>
#include <QTimer>
#include <chrono>
#include <functional>
#include <thread>

namespace tavolix::test {
namespace {

TEST(Lifecycle, EnterDoesNothingAndEveryWayOutEndsTheRunWithZeroEvenWhileTheWorkerWaits)
{
    const auto escape = [](DialogHarness& h) { QTest::keyClick(&h.dialog(), Qt::Key_Escape); };
    QPointer<QMessageBox> workerBox;
    const struct
    {
        const char* name;
        std::function<void(DialogHarness&)> leave;
        bool workerCannotBind = false; // the worker has ended already
    } exits[] = {
        {"Escape", escape},
        {"Exit button",
         [](DialogHarness& h) { QTest::mouseClick(h.controls().exitButton, Qt::LeftButton); }},
        {"close request", [](DialogHarness& h) { h.dialog().close(); }},
        {"close button, left edge",
         [](DialogHarness& h) {
             QTest::mouseClick(&h.dialog(), Qt::LeftButton, {}, QPoint(468 - 52, 0) + clientOrigin);
         }},
        {"Escape, worker ended", escape, true},
        // Nothing selected and no login: the worker waits on its refusal box.
        {"Escape, worker waits on its message box",
         [&](DialogHarness& h) {
             QTest::mouseClick(h.controls().submitButton, Qt::LeftButton);
             workerBox = waitForMessageBox(h.dialog());
             ASSERT_FALSE(workerBox.isNull()) << "the worker's message box never opened";
             EXPECT_EQ(workerBox->windowTitle(), u"NVR"_s);
             EXPECT_EQ(workerBox->icon(), QMessageBox::Critical);
             EXPECT_FALSE(workerBox->isModal());
             escape(h);
         }},
        // The worker hands the row over without waiting; Escape arrives while
        // the window has not listed it yet.
        {"Escape, worker waits in a window call",
         [&](DialogHarness& h) {
             h.device().reply(replyDatagram({0, "late"}));
             std::this_thread::sleep_for(std::chrono::milliseconds(50));
             escape(h);
         }},
        // Window events are not served here: once the search has arrived, the
        // worker is stuck in the display reset that follows the send.
        {"Escape, worker waits in its display reset",
         [&](DialogHarness& h) {
             h.dialog().workerControl().setCommand(SearchCommand);
             std::optional<std::vector<uint8_t>> search;
             for (int waited = 0; waited < 5000 && !search; waited += 2) {
                 std::this_thread::sleep_for(std::chrono::milliseconds(2));
                 search = h.device().receive();
             }
             EXPECT_TRUE(isSearch(search));
             escape(h);
         }},
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
            exit.leave(harness);
        });
        EXPECT_EQ(dialog.exec(), 0);
        EXPECT_TRUE(runningAfterEnter);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_FALSE(dialog.isWorkerRunning());
        EXPECT_TRUE(workerBox.isNull() || !workerBox->isVisible());
        // With the worker joined, anything it sent would be here already.
        EXPECT_FALSE(harness.device().receive().has_value());
    }
}

} // namespace
} // namespace tavolix::test

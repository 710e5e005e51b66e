// Presses on the title strip: the close and minimise buttons act in every
// window state, the rest of the strip moves the window, and nothing below it.

#include "DialogGeometry.h"
#include "UiTestSupport.h"

#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace tavolix::test {
namespace {

constexpr int clientWidth = 468;

// Presses at a client point, drags by `drag` and releases; returns how far
// the window moved.
QPoint pressAndDrag(SearchDialog& dialog, QPoint clientPoint, QPoint drag = {30, 20})
{
    QCoreApplication::processEvents();
    const QPoint start = dialog.pos();
    const QPoint pos = clientPoint + clientOrigin;
    QTest::mousePress(&dialog, Qt::LeftButton, {}, pos);
    QCoreApplication::processEvents(); // the move starts after the press
    QTest::mouseMove(&dialog, pos + drag);
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, pos + drag);
    return dialog.pos() - start;
}

TEST(TitleStrip, RightOfTheMinimiseButtonAndLeftOfItTheStripMovesTheWindow)
{
    DialogHarness harness;
    SearchDialog& dialog = harness.dialog();
    EXPECT_EQ(pressAndDrag(dialog, {clientWidth - 24, 5}), QPoint(30, 20));
    EXPECT_EQ(pressAndDrag(dialog, {clientWidth - 24, 29}, {-10, 5}), QPoint(-10, 5));
    EXPECT_EQ(pressAndDrag(dialog, {120, 10}), QPoint(30, 20)); // on the caption
    EXPECT_EQ(pressAndDrag(dialog, {120, 30}), QPoint(0, 0));   // below the strip
    EXPECT_EQ(pressAndDrag(dialog, {120, 200}), QPoint(0, 0));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.isMinimized());

    dialog.setWindowState(Qt::WindowMaximized);
    ASSERT_TRUE(waitUntil([&] { return dialog.isMaximized(); }));
    EXPECT_EQ(pressAndDrag(dialog, {clientWidth - 24, 5}), QPoint(0, 0));
    EXPECT_TRUE(dialog.isVisible());
}

TEST(TitleStrip, MinimiseButtonMinimisesAndRestoringKeepsWhatWasShown)
{
    DialogHarness harness;
    SearchDialog& dialog = harness.dialog();
    ASSERT_TRUE(harness.deliver({.kind = 1, .name = "cam", .mac = {0, 1, 2, 3, 4, 5}}));
    harness.controls().loginAccountEdit->setEnabled(true);
    harness.controls().loginAccountEdit->setText(u"typed"_s);
    const QString title = dialog.windowTitle();

    QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(clientWidth - 53, 5) + clientOrigin);
    EXPECT_TRUE(dialog.isMinimized());
    EXPECT_TRUE(dialog.isWorkerRunning());

    dialog.showNormal();
    EXPECT_FALSE(dialog.isMinimized());
    EXPECT_EQ(dialog.windowTitle(), title);
    EXPECT_EQ(harness.controls().deviceList->count(), 1);
    EXPECT_EQ(harness.controls().loginAccountEdit->text(), u"typed"_s);
}

} // namespace
} // namespace tavolix::test

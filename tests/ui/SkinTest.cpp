// The skinned window: the title strip's art, hovers and presses, the caption's clip, labels.

#include "SkinBitmaps.h"
#include "TransparentLabel.h"
#include "UiTestSupport.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace tavolix::test {
namespace {

QImage onScreen(SearchDialog& dialog)
{
    QApplication::processEvents();
    return dialog.screen()->grabWindow(dialog.winId()).toImage();
}

// Whether the window shows the image's `source` block (all of it by default) at client point `at`.
bool shows(const QImage& window, QPoint at, const QImage& image, QRect source = {})
{
    source = source.isNull() ? image.rect() : source;
    return window.copy(QRect(at + clientOrigin, source.size()))
               .convertToFormat(QImage::Format_RGB32) ==
           image.copy(source).convertToFormat(QImage::Format_RGB32);
}

// The minimise button is stretched from 30 rows to 31: its rows in order, one of them twice.
bool showsStretched(const QImage& window, QPoint at, const QImage& image)
{
    for (int twice = 0; twice < 30; ++twice) {
        QImage stretched(28, 31, QImage::Format_RGB32);
        QPainter(&stretched).drawImage(0, 0, image.copy(0, 0, 28, twice + 1));
        QPainter(&stretched).drawImage(0, twice + 1, image.copy(0, twice, 28, 30 - twice));
        if (shows(window, at, stretched))
            return true;
    }
    return false;
}

QImage hoveredAt(SearchDialog& dialog, QPoint clientPoint)
{
    const QPoint pos = clientPoint + clientOrigin;
    QMouseEvent move(QEvent::MouseMove, pos, dialog.mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&dialog, &move);
    return onScreen(dialog);
}

QPoint pressAndDrag(SearchDialog& dialog, QPoint clientPoint)
{
    const QPoint drag(30, 20);
    QCoreApplication::processEvents();
    const QPoint start = dialog.pos();
    const QPoint pos = clientPoint + clientOrigin;
    QTest::mousePress(&dialog, Qt::LeftButton, {}, pos);
    QCoreApplication::processEvents(); // the move starts after the press
    QTest::mouseMove(&dialog, pos + drag);
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, pos + drag);
    return dialog.pos() - start;
}

TEST(Skin, LabelsShowTheBackgroundAndTheTitleStripIsLaidOutFromTheRightEdge)
{
    DialogHarness harness;
    SearchDialog& dialog = harness.dialog();
    TransparentLabel& label = *harness.controls().deviceInfoText;
    const QRect pastShortText = label.geometry().adjusted(20, 0, 0, 0);
    const QImage before = onScreen(dialog);
    label.setText(QString(32, u'M'));
    const QImage longText = onScreen(dialog);
    label.setText(u"M"_s);
    const QImage shortText = onScreen(dialog);
    const auto outside = [&](QImage image) { // a label touches only its own rectangle
        QPainter(&image).fillRect(label.geometry(), Qt::black);
        return image;
    };
    EXPECT_TRUE(outside(longText) == outside(before) && outside(shortText) == outside(before));
    EXPECT_TRUE(longText.copy(pastShortText) != before.copy(pastShortText));
    EXPECT_TRUE(shortText.copy(pastShortText) == before.copy(pastShortText)) << "a trace left";

    // Client width 468: minimise at 388, close at 416, strip end at 444; a black border round.
    QImage window = onScreen(dialog);
    ASSERT_EQ(window.size(), QSize(470, 440));
    EXPECT_EQ(window.pixel(469, 439), qRgb(0, 0, 0));
    const QImage close = loadSkinBitmap(closeNormalBitmap);
    const QImage minimise = loadSkinBitmap(minimiseNormalBitmap);
    const QImage fill = loadSkinBitmap(titleFillBitmap);
    const QRect firstColumn(0, 0, 1, 30);
    EXPECT_TRUE(shows(window, {3, 0}, loadSkinBitmap(logoBitmap)));
    EXPECT_TRUE(shows(window, {416, 0}, close));
    EXPECT_TRUE(showsStretched(window, {388, 0}, minimise)); // reaching a row below the strip
    EXPECT_TRUE(shows(window, {444, 0}, loadSkinBitmap(stripEndBitmap), firstColumn));

    window = hoveredAt(dialog, {420, 10}); // close
    EXPECT_TRUE(shows(window, {415, 0}, loadSkinBitmap(closeHotBitmap)));
    EXPECT_TRUE(showsStretched(window, {387, 0}, minimise));
    window = hoveredAt(dialog, {400, 10}); // minimise
    EXPECT_TRUE(shows(window, {415, 0}, close));
    EXPECT_TRUE(showsStretched(window, {387, 0}, loadSkinBitmap(minimiseHotBitmap)));

    // A full paint clips a long caption at x 350.
    dialog.setWindowTitle(QString(80, u'W'));
    dialog.repaint();
    window = onScreen(dialog);
    EXPECT_TRUE(shows(window, {350, 0}, fill, firstColumn));
    EXPECT_TRUE(shows(window, {359, 0}, fill, firstColumn));
    int captionColumns = 0;
    for (int x = 330; x < 350; ++x)
        captionColumns += !shows(window, {x, 0}, fill, firstColumn);
    EXPECT_GT(captionColumns, 10);

    // The minimise button's last column minimises; drags on a real display are the app
    // tests'. Here: the strip's end moves the window, what lies below it does not, and a
    // maximised window stays.
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(415, 5) + clientOrigin);
    EXPECT_TRUE(dialog.isMinimized());
    EXPECT_TRUE(dialog.isWorkerRunning());
    dialog.showNormal();
    EXPECT_EQ(pressAndDrag(dialog, {444, 29}), QPoint(30, 20));
    EXPECT_EQ(pressAndDrag(dialog, {120, 30}), QPoint(0, 0));
    dialog.setWindowState(Qt::WindowMaximized);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.isMaximized(); }));
    EXPECT_EQ(pressAndDrag(dialog, {444, 5}), QPoint(0, 0));
}

} // namespace
} // namespace tavolix::test

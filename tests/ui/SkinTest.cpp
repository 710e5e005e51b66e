// The skinned window on the screen: the title strip's art and hover looks, the
// caption's clip, labels drawn on the background, and presses on the strip.

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

TEST(Skin, LabelsShowTheBackgroundAndTheTitleStripIsLaidOutFromTheRightEdge)
{
    DialogHarness harness;
    SearchDialog& dialog = harness.dialog();
    TransparentLabel& label = *harness.controls().deviceInfoText;
    ASSERT_TRUE(label.text().isEmpty());
    const QRect area = label.geometry();
    const QImage before = onScreen(dialog);
    label.setText(u"MMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMM"_s);
    const QImage longText = onScreen(dialog);
    label.setText(u"M"_s);
    const QImage shortText = onScreen(dialog);

    const auto outside = [&](QImage image) {
        QPainter(&image).fillRect(area, Qt::black);
        return image;
    };
    EXPECT_TRUE(outside(longText) == outside(before) && outside(shortText) == outside(before))
        << "a label touches only its own rectangle";
    const QRect pastShortText = area.adjusted(20, 0, 0, 0);
    EXPECT_TRUE(longText.copy(pastShortText) != before.copy(pastShortText));
    EXPECT_TRUE(shortText.copy(pastShortText) == before.copy(pastShortText)) << "a trace left";
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(Qt::black));

    QImage window = onScreen(dialog);
    ASSERT_EQ(window.size(), QSize(470, 440));
    EXPECT_EQ(window.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(window.pixel(469, 439), qRgb(0, 0, 0));

    // Client width 468: minimise at 388, close at 416, strip end at 444.
    EXPECT_EQ(dialog.captionZones().minimise, QRect(388, 0, 28, 30));
    EXPECT_EQ(dialog.captionZones().close, QRect(416, 0, 28, 30));

    const QImage close = loadSkinBitmap(closeNormalBitmap);
    const QImage minimise = loadSkinBitmap(minimiseNormalBitmap);
    const QImage fill = loadSkinBitmap(titleFillBitmap);
    const QRect firstColumn(0, 0, 1, 30);
    EXPECT_TRUE(shows(window, {3, 0}, loadSkinBitmap(logoBitmap)));
    EXPECT_TRUE(shows(window, {416, 0}, close));
    // The 24-pixel frame ends are stretched to 28: first and last columns.
    EXPECT_TRUE(shows(window, {360, 0}, loadSkinBitmap(frameLeftBitmap), firstColumn));
    EXPECT_TRUE(shows(window, {387, 0}, loadSkinBitmap(frameLeftBitmap), QRect(23, 0, 1, 30)));
    EXPECT_TRUE(shows(window, {444, 0}, loadSkinBitmap(stripEndBitmap), firstColumn));
    EXPECT_TRUE(shows(window, {355, 0}, fill, firstColumn));
    // Minimise reaches a row below the strip.
    EXPECT_TRUE(showsStretched(window, {388, 0}, minimise));
    EXPECT_NE(window.pixel(QPoint(387, 30) + clientOrigin), minimise.pixel(27, 29));
    EXPECT_NEAR(qGray(window.pixel(QPoint(300, 35) + clientOrigin)),
                qGray(loadSkinBitmap(backgroundBitmap).pixel(0, 22)), 2);
    EXPECT_NEAR(qGray(window.pixel(QPoint(460, 437) + clientOrigin)), 255, 1);

    window = hoveredAt(dialog, {420, 10}); // close
    EXPECT_TRUE(shows(window, {415, 0}, loadSkinBitmap(closeHotBitmap)));
    EXPECT_TRUE(showsStretched(window, {387, 0}, minimise));
    window = hoveredAt(dialog, {400, 10}); // minimise
    EXPECT_TRUE(shows(window, {415, 0}, close));
    EXPECT_TRUE(showsStretched(window, {387, 0}, loadSkinBitmap(minimiseHotBitmap)));

    // A full paint puts the plain buttons back in their own places, and clips
    // a long caption at x 350.
    dialog.setWindowTitle(QString(80, u'W'));
    dialog.repaint();
    window = onScreen(dialog);
    EXPECT_TRUE(shows(window, {416, 0}, close));
    EXPECT_TRUE(showsStretched(window, {388, 0}, minimise));
    EXPECT_TRUE(shows(window, {350, 0}, fill, firstColumn));
    EXPECT_TRUE(shows(window, {359, 0}, fill, firstColumn));
    int captionColumns = 0;
    for (int x = 330; x < 350; ++x)
        captionColumns += !shows(window, {x, 0}, fill, firstColumn);
    EXPECT_GT(captionColumns, 10);

    // The minimise button's last column minimises; that the window comes back
    // as it was is seen on a real display in the app tests.
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(415, 5) + clientOrigin);
    EXPECT_TRUE(dialog.isMinimized());
    EXPECT_TRUE(dialog.isWorkerRunning());
    dialog.showNormal();
    EXPECT_FALSE(dialog.isMinimized());
    EXPECT_EQ(pressAndDrag(dialog, {444, 5}), QPoint(30, 20));
    EXPECT_EQ(pressAndDrag(dialog, {444, 29}, {-10, 5}), QPoint(-10, 5));
    EXPECT_EQ(pressAndDrag(dialog, {120, 10}), QPoint(30, 20));
    EXPECT_EQ(pressAndDrag(dialog, {120, 30}), QPoint(0, 0)); // below the strip
    EXPECT_EQ(pressAndDrag(dialog, {120, 200}), QPoint(0, 0));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.isMinimized());
    dialog.setWindowState(Qt::WindowMaximized);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.isMaximized(); }));
    EXPECT_EQ(pressAndDrag(dialog, {444, 5}), QPoint(0, 0));
    EXPECT_TRUE(dialog.isVisible());
}

} // namespace
} // namespace tavolix::test

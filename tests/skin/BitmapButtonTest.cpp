// The compiled-in skin bitmaps, and the bitmap button's looks read from its parent's grab().

#include "BitmapButton.h"

#include "SkinBitmaps.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>
#include <gtest/gtest.h>

namespace tavolix {
namespace {

constexpr QRgb parentColour = qRgb(0, 128, 128);
constexpr QRgb normalColour = qRgb(255, 150, 200), pressedColour = qRgb(255, 170, 200),
               highlightedColour = qRgb(255, 190, 200);

QImage face(QRgb colour)
{
    QImage image(55, 29, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// A shown, active parent of one colour, with a button at (10, 10), 80 × 30.
struct Bench
{
    Bench()
    {
        parent.setAutoFillBackground(true);
        QPalette colours = parent.palette();
        colours.setColor(QPalette::Window, QColor(parentColour));
        parent.setPalette(colours);
        parent.resize(200, 60);
        button.setText(QStringLiteral("Go"));
        button.setGeometry(10, 10, 80, 30);
        parent.show();
        parent.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&parent));
    }

    QImage shot() { return parent.grab().toImage(); }
    QRgb face() { return shot().pixel(button.geometry().topLeft() + QPoint(3, 3)); }
    QPoint captionCorner()
    {
        const QImage image = shot();
        const QRect area = button.geometry();
        QPoint corner(INT_MAX, INT_MAX);
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if (qGray(image.pixel(x, y)) < 60)
                    corner = QPoint(std::min(corner.x(), x), std::min(corner.y(), y));
            }
        }
        return corner - area.topLeft();
    }

    QWidget parent;
    BitmapButton button{&parent};
};

TEST(BitmapButton, LooksFollowTheStateAndAPushFollowsTheCursor)
{
    Bench bench;
    BitmapButton& button = bench.button;
    const QColor plainFace = button.palette().color(QPalette::Button);
    EXPECT_EQ(bench.face(), plainFace.rgb()) << "no images: a plain face";
    button.setFaces({QImage(), face(pressedColour), face(highlightedColour)});
    button.setFocus();
    EXPECT_EQ(bench.face(), plainFace.rgb()) << "no normal image: plain whatever else is loaded";

    button.setFaces({face(normalColour), face(pressedColour), face(highlightedColour)});
    button.setTextColor(Qt::black);
    bench.parent.setFocus();
    EXPECT_EQ(bench.face(), normalColour);
    EXPECT_EQ(bench.shot().pixel(10 + 79, 10 + 29), normalColour) << "stretched onto the face";
    const QPoint normalCaption = bench.captionCorner();
    EXPECT_GE(normalCaption.x(), 2); // the caption stays 2 pixels inside
    button.setFocus();
    EXPECT_EQ(bench.face(), highlightedColour);
    bench.parent.setFocus();
    QMouseEvent move(QEvent::MouseMove, QPoint(40, 15), button.mapToGlobal(QPoint(40, 15)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier); // as the platform sends a hover
    QApplication::sendEvent(&button, &move);
    EXPECT_EQ(bench.face(), highlightedColour);

    QTest::mousePress(&button, Qt::LeftButton, {}, {40, 15});
    EXPECT_EQ(bench.face(), pressedColour);
    EXPECT_EQ(bench.captionCorner(), normalCaption + QPoint(1, 1));

    // Disabled while pushed: a plain face, its caption embossed in the palette's colours.
    QFont bold = button.font(); // stems wide enough to have pixels of the exact colours
    bold.setPixelSize(20);
    bold.setBold(true);
    button.setFont(bold);
    button.setEnabled(false);
    EXPECT_EQ(bench.face(), plainFace.rgb());
    const QImage disabled = bench.shot();
    QSet<QRgb> colours;
    for (int y = 10; y < 40; ++y) {
        for (int x = 10; x < 90; ++x)
            colours.insert(disabled.pixel(x, y));
    }
    EXPECT_TRUE(colours.contains(button.palette().color(QPalette::Light).rgb()));
    EXPECT_TRUE(
        colours.contains(button.palette().color(QPalette::Disabled, QPalette::ButtonText).rgb()));
    EXPECT_FALSE(colours.contains(qRgb(0, 0, 0))) << "the text colour is not used when disabled";
    QTest::mouseRelease(&button, Qt::LeftButton, {}, {40, 15});
    button.setEnabled(true);

    QSignalSpy clicks(&button, &QAbstractButton::clicked);
    QTest::mousePress(&button, Qt::LeftButton, {}, {40, 15});
    QTest::mouseMove(&button, {120, 15}); // out: unpushed, with the focus the press gave
    EXPECT_EQ(bench.face(), highlightedColour);
    QTest::mouseMove(&button, {40, 15}); // back in
    EXPECT_EQ(bench.face(), pressedColour);
    QTest::mouseMove(&button, {120, 15});
    QTest::mouseRelease(&button, Qt::LeftButton, {}, {120, 15});
    EXPECT_EQ(clicks.count(), 0);

    QTest::mouseClick(&button, Qt::LeftButton, {}, {40, 15});
    QTest::mouseDClick(&button, Qt::LeftButton, {}, {40, 15}); // a second press
    QTest::mouseRelease(&button, Qt::LeftButton, {}, {40, 15});
    EXPECT_EQ(clicks.count(), 2);
}

template <typename T> T field(const QByteArray& file, int offset)
{
    return qFromLittleEndian<T>(file.constData() + offset);
}

TEST(SkinArt, EveryBitmapIsAnUncompressedBottomUp24BitBmpOfItsSize)
{
    const std::pair<int, QSize> bitmaps[] = {{129, {28, 30}}, {130, {312, 281}}, {132, {55, 29}},
                                             {134, {55, 29}}, {135, {55, 29}},   {136, {28, 30}},
                                             {137, {28, 30}}, {140, {28, 30}},   {174, {24, 30}},
                                             {177, {77, 30}}, {179, {24, 30}},   {180, {24, 30}}};
    for (const auto& [id, size] : bitmaps) {
        SCOPED_TRACE(id);
        QFile file(QStringLiteral(":/skin/%1.bmp").arg(id));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        ASSERT_GE(bytes.size(), 54); // the headers
        EXPECT_EQ(bytes.left(2), QByteArrayLiteral("BM"));
        EXPECT_GT(field<qint32>(bytes, 22), 0);   // bottom-up
        EXPECT_EQ(field<quint16>(bytes, 28), 24); // bits per pixel
        EXPECT_EQ(field<quint32>(bytes, 30), 0u); // no compression
        EXPECT_EQ(loadSkinBitmap(id).size(), size);
    }
    EXPECT_TRUE(loadSkinBitmap(131).isNull());
    EXPECT_TRUE(loadSkinBitmap(0).isNull());
    EXPECT_EQ(loadSkinBitmap(0x10000 + logoBitmap).size(), QSize(77, 30)); // low 16 bits count
}

} // namespace
} // namespace tavolix

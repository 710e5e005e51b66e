// The skin bitmaps compiled into the program, regions cut from bitmaps by a key colour, and
// the bitmap button on a bare widget, its looks read from the parent's grab() with test images.

#include "BitmapButton.h"

#include "SkinBitmaps.h"
#include "WindowRegion.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>
#include <functional>
#include <gtest/gtest.h>

namespace tavolix {
namespace {

constexpr QRgb parentColour = qRgb(0, 128, 128);

constexpr int normalId = 901, pressedId = 902, hoverId = 903, disabledId = 904, focusId = 905,
              maskId = 906, stripedMaskId = 907, stripesId = 908, missingId = 909;

QRgb faceColour(int id)
{
    return qRgb(255, 150 + 20 * (id - normalId), 200);
}

// Masks black, the striped one with white columns 40-54 in the top 29 rows.
QImage testBitmap(int id)
{
    const auto image = [](QSize size, QRgb colour, QRect other = {}, QRgb otherColour = 0) {
        QImage bitmap(size, QImage::Format_RGB32);
        bitmap.fill(colour);
        QPainter(&bitmap).fillRect(other, QColor(otherColour));
        return bitmap;
    };
    if (id >= normalId && id <= focusId)
        return image({55, 29}, faceColour(id));
    if (id == maskId || id == stripedMaskId)
        return image({104, 34}, qRgb(0, 0, 0), id == maskId ? QRect() : QRect(40, 0, 15, 29),
                     qRgb(255, 255, 255));
    if (id == stripesId)
        return image({10, 10}, qRgb(255, 0, 0), QRect(5, 0, 5, 10), qRgb(0, 0, 255));
    return {};
}

// A shown, active parent of one colour, with a button at (10, 10), 80 × 30.
struct Bench
{
    explicit Bench(unsigned style = ButtonStyle::pushButton, const char* caption = "Go")
    {
        parent.setAutoFillBackground(true);
        QPalette colours = parent.palette();
        colours.setColor(QPalette::Window, QColor(parentColour));
        parent.setPalette(colours);
        parent.resize(200, 60);
        button = add(style, caption, QRect(10, 10, 80, 30));
        parent.show();
        parent.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&parent));
    }

    BitmapButton* add(unsigned style, const char* caption, QRect geometry)
    {
        auto* added = new BitmapButton(style, &parent);
        added->setBitmapSource(testBitmap);
        added->setText(QString::fromUtf8(caption));
        added->setGeometry(geometry);
        added->show();
        return added;
    }

    QImage shot() { return parent.grab().toImage(); }
    QRgb face() { return shot().pixel(button->geometry().topLeft() + QPoint(3, 3)); }
    QPoint captionCorner()
    {
        const QImage image = shot();
        const QRect area = button->geometry();
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
    BitmapButton* button = nullptr;
};

const ButtonBitmaps allFaces{normalId, pressedId, hoverId, disabledId, focusId, maskId};

TEST(BitmapButton, KindComesFromTheStyleAndAPushButtonIsNeverChecked)
{
    using namespace ButtonStyle;
    using enum ButtonKind;
    const std::pair<unsigned, ButtonKind> styles[] = {
        {pushButton, push},  {defPushButton, push}, {checkBox, push},     {autoCheckBox, check},
        {radioButton, push}, {auto3State, push},    {groupBox, check},    {autoRadioButton, radio},
        {ownerDraw, check},  {0x109, radio},        {group | 0x3, check}, // the low byte counts
    };
    for (const auto& [style, kind] : styles) {
        SCOPED_TRACE(style);
        BitmapButton button(style);
        EXPECT_EQ(button.buttonKind(), kind);
        button.setCheck(true);
        EXPECT_EQ(button.check(), kind != push);
    }
}

TEST(BitmapButton, SetBitmapsClampsAndShapesLooksFollowTheStateAndAPushFollowsTheCursor)
{
    // mode, edges and inset given; draw mode, edges drawn and inset taken
    const std::tuple<int, int, int, DrawMode, bool, int> rows[] = {
        {7, 0, -3, DrawMode::tile, false, 0},
        {-1, 1, 5, DrawMode::copy, true, 5},
        {1, 0xFFFF, 0, DrawMode::stretch, true, 0},
        {0x10002, 0x10000, 0x10003, DrawMode::tile, false, 3},
    };
    for (const auto& [mode, edges, inset, drawMode, drawsEdges, focusInset] : rows) {
        BitmapButton button(ButtonStyle::pushButton);
        button.setBitmapSource(testBitmap);
        button.setBitmaps({}, mode, edges, inset);
        EXPECT_EQ(std::tuple(button.drawMode(), button.drawsEdges(), button.focusInset()),
                  std::tuple(drawMode, drawsEdges, focusInset));
    }

    Bench bench(ButtonStyle::autoCheckBox);
    BitmapButton& button = *bench.button;
    EXPECT_FALSE(button.region().has_value());
    button.setBitmaps({.normal = normalId, .mask = 0x10000 + maskId}, 1, 0, 0);
    EXPECT_EQ(button.region(), QRegion(0, 0, 104, 34));
    EXPECT_EQ(button.size(), QSize(80, 30));
    button.setBitmaps({.normal = normalId}, 1, 0, 0); // no mask: the shape stays
    EXPECT_EQ(button.region(), QRegion(0, 0, 104, 34));
    button.setBitmaps({.normal = normalId, .mask = maskId}, 0, 0, 0);
    EXPECT_EQ(button.size(), QSize(104, 34));

    // The mask's white columns 40-54 cut those columns out of the shape. Over
    // the face, the mask's image-sized corner is stretched like the image, so
    // the same columns let the parent through at 58-79 instead.
    button.resize(80, 30);
    button.setBitmaps({.normal = normalId, .mask = stripedMaskId}, 1, 0, 0);
    const QImage shot = bench.shot();
    EXPECT_EQ(shot.pixel(10 + 20, 13), faceColour(normalId));
    EXPECT_EQ(shot.pixel(10 + 45, 13), parentColour); // outside the shape
    EXPECT_EQ(shot.pixel(10 + 70, 13), parentColour); // the mask's white
    button.setBitmaps({.mask = maskId}, 1, 0, 0);

    button.setBitmaps({.normal = stripesId}, 2, 0, 0);
    const QImage tiled = bench.shot();
    EXPECT_EQ(tiled.pixel(10 + 4, 12), qRgb(255, 0, 0));
    EXPECT_EQ(tiled.pixel(10 + 5, 12), qRgb(0, 0, 255));
    EXPECT_EQ(tiled.pixel(10 + 12, 12), qRgb(255, 0, 0));
    EXPECT_EQ(tiled.pixel(10 + 79, 10 + 29), qRgb(0, 0, 255));

    const QColor buttonFace = button.palette().color(QPalette::Button);
    button.setBitmaps({}, 1, 0, 0);
    EXPECT_EQ(bench.face(), buttonFace.rgb()) << "no images: a plain face";
    EXPECT_EQ(button.setTextColor(Qt::black), button.palette().color(QPalette::ButtonText));

    button.setBitmaps(allFaces, 1, 0, 0);
    bench.parent.setFocus();
    EXPECT_EQ(bench.face(), faceColour(normalId));
    const QPoint normalCaption = bench.captionCorner();
    EXPECT_GE(normalCaption.x(), 2); // the caption stays 2 pixels inside

    button.setFocus();
    EXPECT_EQ(bench.face(), faceColour(focusId));
    QMouseEvent move(QEvent::MouseMove, QPoint(40, 15), button.mapToGlobal(QPoint(40, 15)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier); // as the platform sends a hover
    QApplication::sendEvent(&button, &move);
    EXPECT_TRUE(button.isHover());
    EXPECT_EQ(bench.face(), faceColour(hoverId));

    QTest::mousePress(&button, Qt::LeftButton, {}, {40, 15});
    EXPECT_FALSE(button.isHover());
    EXPECT_TRUE(button.isHeld());
    EXPECT_EQ(bench.face(), faceColour(pressedId));
    EXPECT_EQ(bench.captionCorner(), normalCaption + QPoint(1, 1));

    // Stems wide enough to have pixels of the exact caption colours.
    QFont bold = button.font();
    bold.setPixelSize(20);
    bold.setBold(true);
    button.setFont(bold);
    button.setEnabled(false); // while pushed
    EXPECT_EQ(bench.face(), faceColour(disabledId));
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

    button.setBitmaps({.normal = normalId, .disabled = 0}, 1, 0, 0);
    button.setEnabled(false);
    EXPECT_EQ(bench.face(), faceColour(normalId));
    button.setBitmaps({.normal = normalId, .disabled = missingId}, 1, 0, 0);
    EXPECT_EQ(bench.face(), buttonFace.rgb());

    button.setEnabled(true);
    button.setBitmaps(allFaces, 1, 0, 0);
    const QPoint boldCaption = bench.captionCorner();
    button.setCheck(true);
    EXPECT_EQ(bench.face(), faceColour(pressedId));
    EXPECT_EQ(bench.captionCorner(), boldCaption + QPoint(1, 1));

    // With an inset, a focused face gets a dotted frame there.
    button.setCheck(false);
    button.setFocus();
    const QRgb frameless = bench.shot().pixel(10 + 4, 10 + 15);
    button.setBitmaps(allFaces, 1, 0, 4);
    const QImage framed = bench.shot();
    int changed = 0;
    for (int y = 14; y < 36; ++y)
        changed += framed.pixel(10 + 4, y) != frameless;
    EXPECT_GT(changed, 5);
    button.setBitmaps(allFaces, 1, 0, 0);

    QSignalSpy clicks(&button, &QAbstractButton::clicked);
    QTest::mousePress(&button, Qt::LeftButton, {}, {40, 15});
    QTest::mouseMove(&button, {120, 15}); // out: unpushed, with the focus the press gave
    EXPECT_EQ(bench.face(), faceColour(focusId));
    QTest::mouseMove(&button, {40, 15}); // back in
    EXPECT_EQ(bench.face(), faceColour(pressedId));
    QTest::mouseMove(&button, {120, 15});
    QTest::mouseRelease(&button, Qt::LeftButton, {}, {120, 15});
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_FALSE(button.check());
    EXPECT_FALSE(button.isHeld());

    bool checkedWhenClicked = false;
    QObject::connect(&button, &QAbstractButton::clicked, &button,
                     [&] { checkedWhenClicked = button.check(); });
    QTest::mouseClick(&button, Qt::LeftButton, {}, {40, 15});
    EXPECT_TRUE(checkedWhenClicked);

    QTest::keyPress(&button, Qt::Key_Space);
    EXPECT_FALSE(button.check());
    QTest::keyRelease(&button, Qt::Key_Space);

    QTest::mousePress(&button, Qt::LeftButton, {}, {40, 15});
    bench.parent.setFocus();
    EXPECT_FALSE(button.isHeld());
    QTest::mouseRelease(&button, Qt::LeftButton, {}, {40, 15});

    clicks.clear();
    QTest::mouseClick(&button, Qt::LeftButton, {}, {40, 15});
    QTest::mouseDClick(&button, Qt::LeftButton, {}, {40, 15});
    QTest::mouseRelease(&button, Qt::LeftButton, {}, {40, 15});
    EXPECT_EQ(clicks.count(), 2);
}

TEST(BitmapButton, CheckingARadioButtonUnchecksTheRestOfItsGroupAfterwards)
{
    Bench bench(ButtonStyle::autoRadioButton | ButtonStyle::group, "1");
    BitmapButton* first = bench.button;
    BitmapButton* second = bench.add(ButtonStyle::autoRadioButton, "2", {100, 10, 20, 20});
    BitmapButton* third = bench.add(ButtonStyle::autoRadioButton, "3", {130, 10, 20, 20});
    BitmapButton* otherGroup =
        bench.add(ButtonStyle::autoRadioButton | ButtonStyle::group, "4", {160, 10, 20, 20});
    for (BitmapButton* radio : {first, third, otherGroup}) {
        radio->setCheck(true);
        QCoreApplication::processEvents();
    }
    EXPECT_FALSE(first->check());
    EXPECT_TRUE(third->check());

    QTest::mouseClick(second, Qt::LeftButton, {}, {5, 5});
    EXPECT_TRUE(second->check());
    EXPECT_TRUE(third->check()) << "the others are unchecked by a posted event";
    QCoreApplication::processEvents();
    EXPECT_FALSE(third->check());
    EXPECT_TRUE(otherGroup->check());

    QTest::keyClick(first, Qt::Key_Space);
    QCoreApplication::processEvents();
    EXPECT_TRUE(first->check());
    EXPECT_FALSE(second->check());
}

template <typename T> T field(const QByteArray& file, int offset)
{
    return qFromLittleEndian<T>(file.constData() + offset);
}

TEST(SkinArt, EveryBitmapIsAnUncompressedBottomUp24BitBmpOfItsSize)
{
    const std::pair<int, QSize> bitmaps[] = {
        {129, {28, 30}},  {130, {312, 281}}, {132, {55, 29}}, {134, {55, 29}}, {135, {55, 29}},
        {136, {28, 30}},  {137, {28, 30}},   {140, {28, 30}}, {174, {24, 30}}, {177, {77, 30}},
        {178, {104, 34}}, {179, {24, 30}},   {180, {24, 30}}};
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
    EXPECT_TRUE(loadSkinBitmap(noBitmap).isNull());
    EXPECT_TRUE(loadSkinBitmap(0).isNull());
    EXPECT_EQ(loadSkinBitmap(0x10000 + logoBitmap).size(), QSize(77, 30)); // low 16 bits count
    // The buttons' mask is black all over: their shape is the whole rectangle.
    EXPECT_EQ(regionFromBitmap(loadSkinBitmap(buttonMaskBitmap), Qt::white),
              QRegion(0, 0, 104, 34));
}

TEST(RegionFromBitmap, EqualsTheSetOfNonKeyPixelsWhateverTheKey)
{
    // Other pixels differ from the key in one channel only.
    const QRgb key = qRgb(10, 20, 30);
    const auto image = [&](int width, int height, const std::function<bool(int, int)>& isKey) {
        QImage bitmap(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                bitmap.setPixel(x, y, isKey(x, y) ? key : qRgb(10, 20, 31));
        }
        return bitmap;
    };
    const QImage cases[] = {
        // Runs of every length, at both edges and across rows.
        image(23, 17, [](int x, int y) { return (x * 7 + y * 3) % 5 < 2 || (x + y) % 11 == 0; }),
        image(104, 34, [](int, int) { return false; }),
        image(3, 2, [](int, int) { return true; }),
        image(4, 1, [](int x, int) { return x < 3; }),
        image(4, 1, [](int x, int) { return x == 3; }),
        image(3, 2, [](int x, int y) { return x == 1 || (x == 2 && y == 1); }),
    };
    for (const QImage& bitmap : cases) {
        const std::optional<QRegion> region = regionFromBitmap(bitmap, QColor(key));
        ASSERT_TRUE(region.has_value());
        for (int y = 0; y < bitmap.height(); ++y) {
            for (int x = 0; x < bitmap.width(); ++x)
                EXPECT_EQ(region->contains(QPoint(x, y)), bitmap.pixel(x, y) != key)
                    << bitmap.width() << " x " << bitmap.height() << " at " << x << ',' << y;
        }
    }
    EXPECT_FALSE(regionFromBitmap(QImage(), QColor(key)).has_value());
}

} // namespace
} // namespace tavolix

// The skin bitmaps compiled into the program, and regions cut from bitmaps by a key colour.

#include "SkinBitmaps.h"
#include "WindowRegion.h"

#include <QFile>
#include <QImage>
#include <QtEndian>
#include <functional>
#include <gtest/gtest.h>

namespace tavolix {
namespace {

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

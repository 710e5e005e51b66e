// The skin bitmaps compiled into the program: 24-bit uncompressed bottom-up
// BMP files of the sizes the dialog and its buttons are laid out for.

#include "SkinBitmaps.h"

#include <QFile>
#include <QImage>
#include <QtEndian>
#include <gtest/gtest.h>

namespace tavolix {
namespace {

template <typename T> T field(const QByteArray& file, int offset)
{
    return qFromLittleEndian<T>(file.constData() + offset);
}

TEST(SkinArt, EveryBitmapIsAnUncompressedBottomUp24BitBmpOfItsSize)
{
    const struct
    {
        int id;
        QSize size;
    } bitmaps[] = {{129, {28, 30}}, {130, {312, 281}}, {132, {55, 29}},  {134, {55, 29}},
                   {135, {55, 29}}, {136, {28, 30}},   {137, {28, 30}},  {140, {28, 30}},
                   {174, {24, 30}}, {177, {77, 30}},   {178, {104, 34}}, {179, {24, 30}},
                   {180, {24, 30}}};
    for (const auto& bitmap : bitmaps) {
        SCOPED_TRACE(bitmap.id);
        QFile file(QStringLiteral(":/skin/%1.bmp").arg(bitmap.id));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        ASSERT_GE(bytes.size(), 54);
        EXPECT_EQ(bytes.left(2), QByteArrayLiteral("BM"));
        EXPECT_EQ(field<qint32>(bytes, 18), bitmap.size.width());
        EXPECT_EQ(field<qint32>(bytes, 22), bitmap.size.height()); // positive: bottom-up
        EXPECT_EQ(field<quint16>(bytes, 28), 24);                  // bits per pixel
        EXPECT_EQ(field<quint32>(bytes, 30), 0u);                  // no compression
        EXPECT_EQ(loadSkinBitmap(bitmap.id).size(), bitmap.size);
    }
    EXPECT_TRUE(loadSkinBitmap(noBitmap).isNull());
    EXPECT_TRUE(loadSkinBitmap(0).isNull());
    EXPECT_EQ(loadSkinBitmap(0x10000 + logoBitmap).size(), QSize(77, 30)); // low 16 bits count
}

TEST(SkinArt, TheMaskIsBlackAndTheHoverFormsStandOut)
{
    const QImage mask = loadSkinBitmap(buttonMaskBitmap);
    for (int y = 0; y < mask.height(); ++y) {
        for (int x = 0; x < mask.width(); ++x)
            ASSERT_EQ(mask.pixel(x, y), qRgb(0, 0, 0));
    }
    // The highlighted caption buttons differ from the plain ones in their middle.
    EXPECT_NE(loadSkinBitmap(closeHotBitmap).pixel(6, 8),
              loadSkinBitmap(closeNormalBitmap).pixel(6, 8));
    EXPECT_NE(loadSkinBitmap(minimiseHotBitmap).pixel(6, 8),
              loadSkinBitmap(minimiseNormalBitmap).pixel(6, 8));
    // The background runs from mid grey at the top to white at the bottom.
    const QImage background = loadSkinBitmap(backgroundBitmap);
    EXPECT_LT(qGray(background.pixel(0, 0)), 170);
    EXPECT_EQ(background.pixel(311, 280), qRgb(255, 255, 255));
}

} // namespace
} // namespace tavolix

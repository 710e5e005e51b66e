// The skin bitmaps compiled into the program: 24-bit uncompressed bottom-up
// BMP files of the sizes the dialog and its buttons are laid out for.

#include "SkinBitmaps.h"
#include "WindowRegion.h"

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
    // The buttons' mask is black all over: their shape is the whole rectangle.
    EXPECT_EQ(regionFromBitmap(loadSkinBitmap(buttonMaskBitmap), Qt::white),
              QRegion(0, 0, 104, 34));
}

} // namespace
} // namespace tavolix

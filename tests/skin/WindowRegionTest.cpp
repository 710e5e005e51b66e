// Regions cut from bitmaps by a key colour: exactly the non-key pixels.

#include "WindowRegion.h"

#include <QImage>
#include <functional>
#include <gtest/gtest.h>

namespace tavolix {
namespace {

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

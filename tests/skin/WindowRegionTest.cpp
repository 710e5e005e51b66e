// Regions cut from bitmaps by a key colour: one rectangle per run of
// non-key pixels in a row.

#include "WindowRegion.h"

#include <QImage>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace tavolix {
namespace {

// A bitmap from rows of 'B' (black) and 'W' (white), top row first.
QImage bitmap(const std::vector<const char*>& rows)
{
    QImage image(static_cast<int>(std::strlen(rows.front())), static_cast<int>(rows.size()),
                 QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(
                x, y, rows[static_cast<size_t>(y)][x] == 'W' ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    }
    return image;
}

TEST(RegionFromBitmap, KeepsExactlyTheNonKeyPixels)
{
    const struct
    {
        const char* name;
        QImage image;
        QRegion expected;
    } cases[] = {
        {"all black 104 x 34",
         [] {
             QImage i(104, 34, QImage::Format_RGB32);
             i.fill(Qt::black);
             return i;
         }(),
         QRegion(0, 0, 104, 34)},
        {"all white", bitmap({"WWW", "WWW"}), QRegion()},
        {"white but the last pixel", bitmap({"WWWB"}), QRegion(3, 0, 1, 1)},
        {"black but the last pixel", bitmap({"BBBW"}), QRegion(0, 0, 3, 1)},
        {"black white black", bitmap({"BWB"}), QRegion(0, 0, 1, 1) + QRegion(2, 0, 1, 1)},
        {"runs end at each row's end", bitmap({"WWB", "BWW"}),
         QRegion(2, 0, 1, 1) + QRegion(0, 1, 1, 1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<QRegion> region = regionFromBitmap(c.image, Qt::white);
        ASSERT_TRUE(region.has_value());
        EXPECT_EQ(*region, c.expected);
    }
    EXPECT_FALSE(regionFromBitmap(QImage(), Qt::white).has_value());
}

TEST(RegionFromBitmap, EqualsTheSetOfNonKeyPixelsWhateverTheKey)
{
    // A pattern with runs of every length, at both edges and across rows,
    // in colours that differ from the key only in one channel.
    const QRgb key = qRgb(10, 20, 30);
    QImage image(23, 17, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool isKey = (x * 7 + y * 3) % 5 < 2 || (x + y) % 11 == 0;
            image.setPixel(x, y, isKey ? key : qRgb(10, 20, 31));
        }
    }
    const std::optional<QRegion> region = regionFromBitmap(image, QColor(key));
    ASSERT_TRUE(region.has_value());
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            EXPECT_EQ(region->contains(QPoint(x, y)), image.pixel(x, y) != key) << x << ',' << y;
    }
}

} // namespace
} // namespace tavolix

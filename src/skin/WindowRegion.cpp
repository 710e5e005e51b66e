#include "WindowRegion.h"

#include <QImage>
#include <QRect>
#include <vector>

namespace tavolix {

// Each maximal run of non-key pixels in a row gives one rectangle one pixel
// high, collected from the bottom row up, then joined one by one.
std::optional<QRegion> regionFromBitmap(const QImage& bitmap, QColor key)
{
    if (bitmap.isNull())
        return std::nullopt;
    const QRgb keyColour = key.rgb() & RGB_MASK;
    const int width = bitmap.width();
    std::vector<QRect> runs;
    runs.reserve(40);
    for (int y = bitmap.height() - 1; y >= 0; --y) {
        int runStart = -1;
        for (int x = 0; x < width; ++x) {
            const bool isKey = (bitmap.pixel(x, y) & RGB_MASK) == keyColour;
            if (!isKey && runStart < 0) {
                runStart = x;
            } else if (isKey && runStart >= 0) {
                runs.emplace_back(runStart, y, x - runStart, 1);
                runStart = -1;
            }
        }
        if (runStart >= 0)
            runs.emplace_back(runStart, y, width - runStart, 1);
    }
    QRegion region;
    for (const QRect& run : runs)
        region += run;
    return region;
}

} // namespace tavolix

#pragma once

#include <QColor>
#include <QRegion>
#include <optional>

class QImage;

namespace tavolix {

// The region of every pixel whose colour differs from the key, in the
// bitmap's own coordinates. None for a null bitmap; an empty region when
// every pixel is the key.
std::optional<QRegion> regionFromBitmap(const QImage& bitmap, QColor key);

} // namespace tavolix

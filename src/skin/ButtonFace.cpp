#include "ButtonFace.h"

#include <QPainter>

namespace tavolix {
namespace {

// A source block as it lands on a w × h face: 1:1 from the top-left corner
// in copy mode, the given source rectangle scaled onto the face otherwise.
QImage fitted(const QImage& image, QRect source, QSize face, DrawMode mode)
{
    if (mode == DrawMode::copy)
        return image.copy(QRect(QPoint(0, 0), face));
    return image.copy(source).scaled(face, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

} // namespace

void tileImage(QPainter& painter, const QImage& image, QRect rect)
{
    if (image.isNull())
        return;
    for (int y = rect.top(); y <= rect.bottom(); y += image.height()) {
        for (int x = rect.left(); x <= rect.right(); x += image.width()) {
            const QSize part(std::min(image.width(), rect.right() + 1 - x),
                             std::min(image.height(), rect.bottom() + 1 - y));
            painter.drawImage(QPoint(x, y), image, QRect(QPoint(0, 0), part));
        }
    }
}

void drawImage(QPainter& painter, const QImage& image, const ButtonFaceImages& face, QRect rect)
{
    if (face.mode == DrawMode::tile) {
        tileImage(painter, image, rect);
        return;
    }
    const QRect imageRect = image.rect();
    const QImage faceImage = fitted(image, imageRect, rect.size(), face.mode);
    if (face.mask.isNull()) {
        painter.drawImage(rect.topLeft(), faceImage);
        return;
    }
    // The raster operations work on what is already painted under the button.
    const QImage faceMask = fitted(face.mask, imageRect, rect.size(), face.mode);
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.drawImage(rect.topLeft(), faceImage);
    painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    painter.drawImage(rect.topLeft(), faceMask);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.drawImage(rect.topLeft(), faceImage);
    painter.restore();
}

} // namespace tavolix

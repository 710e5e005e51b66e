#include "DialogSkin.h"

#include "SkinBitmaps.h"

#include <QFontDatabase>
#include <QPainter>
#include <QString>

namespace tavolix {
namespace {

// The caption is clipped at x 350.
const QRect captionArea(QPoint(90, 7), QPoint(349, 29));
const QColor borderColour(0, 0, 0);

// The whole image scaled onto the target; nothing for an image that failed.
void stretch(QPainter& painter, const QImage& image, QRect target)
{
    if (!image.isNull())
        painter.drawImage(target, image);
}

void stretchBitmap(QPainter& painter, int resourceId, QRect target)
{
    stretch(painter, loadSkinBitmap(resourceId), target);
}

} // namespace

void DialogSkin::load()
{
    m_background = loadSkinBitmap(backgroundBitmap);
    m_titleFill = loadSkinBitmap(titleFillBitmap);
    m_frameLeft = loadSkinBitmap(frameLeftBitmap);
    m_stripEnd = loadSkinBitmap(stripEndBitmap);
    m_logo = loadSkinBitmap(logoBitmap);
}

// Later images cover earlier ones. The strip end runs four pixels past the
// client's right edge and the minimise button one row below the strip.
CaptionZones DialogSkin::paintClientArea(QPainter& painter, QSize clientSize,
                                         const QString& caption) const
{
    const int right = clientSize.width();
    CaptionZones zones;
    stretch(painter, m_background, QRect(QPoint(0, 0), clientSize));
    stretch(painter, m_titleFill, QRect(0, 0, right + 10, titleStripHeight));
    stretchBitmap(painter, closeNormalBitmap, QRect(right - 52, 0, 28, 30));
    zones.close = QRect(right - 52, 0, 28, 30);
    stretch(painter, m_stripEnd, QRect(right - 24, 0, 28, 30));
    stretchBitmap(painter, minimiseNormalBitmap, QRect(right - 80, 0, 28, 31));
    zones.minimise = QRect(right - 80, 0, 28, 30);
    stretch(painter, m_frameLeft, QRect(right - 108, 0, 28, 30));

    painter.save();
    painter.setPen(Qt::white);
    painter.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    painter.setClipRect(captionArea, Qt::IntersectClip);
    painter.drawText(captionArea, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, caption);
    painter.restore();

    if (!m_logo.isNull())
        painter.drawImage(QPoint(3, 0), m_logo);
    return zones;
}

// Drawn at the zones' client coordinates on the window's surface, so each
// image stands one pixel left of where the full paint puts it.
void paintCaptionHover(QPainter& painter, QPoint point, const CaptionZones& zones)
{
    const QRect& close = zones.close;
    const QRect& minimise = zones.minimise;
    stretchBitmap(painter, close.contains(point) ? closeHotBitmap : closeNormalBitmap,
                  QRect(close.left(), 1, close.width(), close.height()));
    stretchBitmap(
        painter, minimise.contains(point) ? minimiseHotBitmap : minimiseNormalBitmap,
        QRect(minimise.left(), minimise.top() + 1, minimise.width(), minimise.height() + 1));
}

void paintDialogBorder(QPainter& painter, QSize windowSize)
{
    painter.save();
    painter.setPen(borderColour);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, windowSize.width() - 1, windowSize.height() - 1);
    painter.restore();
}

} // namespace tavolix

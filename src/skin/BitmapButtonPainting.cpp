#include "BitmapButton.h"

#include <QPainter>
#include <qdrawutil.h>

namespace tavolix {
namespace {

// The platform's colours stand in for the system colours of the button face.
QColor buttonFace(const QPalette& colours)
{
    return colours.color(QPalette::Active, QPalette::Button);
}

void drawCaption(QPainter& painter, QRect area, const QColor& colour, const QString& text)
{
    painter.setPen(colour);
    painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip, text);
}

void drawEdge(QPainter& painter, QRect face, const QPalette& colours, bool sunken)
{
    qDrawWinButton(&painter, face, colours, sunken);
}

// A dotted rectangle that inverts what it crosses.
void drawFocusRect(QPainter& painter, QRect area)
{
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    painter.restore();
}

} // namespace

void BitmapButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(font());
    const QRect face = rect();
    const int captionInset = m_focusInset + 2;
    QRect caption = face.adjusted(captionInset, 0, -captionInset, 0);
    const auto drawFace = [&](const QImage& image) {
        if (image.isNull())
            painter.fillRect(face, buttonFace(palette()));
        else
            drawImage(painter, image, m_face, face);
    };

    if (!isEnabled()) {
        drawFace(m_face.disabled);
        if (m_drawEdges)
            drawEdge(painter, face, palette(), false);
        // Embossed: a light caption, and the grey one a pixel up and left.
        drawCaption(painter, caption, palette().color(QPalette::Light), text());
        caption.translate(-1, -1);
        drawCaption(painter, caption, palette().color(QPalette::Disabled, QPalette::ButtonText),
                    text());
        return;
    }

    if (isDown() || m_isChecked) {
        drawFace(m_face.pressed);
        caption.translate(1, 1);
        if (m_drawEdges)
            drawEdge(painter, face, palette(), true);
    } else {
        // Without a normal image the face stays plain, whatever else is loaded.
        const QImage* image = &m_face.normal;
        if (!image->isNull() && m_hover && !m_face.hover.isNull())
            image = &m_face.hover;
        else if (!image->isNull() && hasFocus() && !m_face.focus.isNull())
            image = &m_face.focus;
        drawFace(*image);
        if (m_drawEdges)
            drawEdge(painter, face, palette(), false);
    }
    if (hasFocus() && m_focusInset > 0)
        drawFocusRect(painter,
                      face.adjusted(m_focusInset, m_focusInset, -m_focusInset, -m_focusInset));
    drawCaption(painter, caption, m_textColor, text());
}

} // namespace tavolix

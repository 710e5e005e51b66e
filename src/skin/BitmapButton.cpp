#include "BitmapButton.h"

#include <QMouseEvent>
#include <QPainter>

namespace tavolix {
namespace {

void drawCaption(QPainter& painter, QRect area, const QColor& colour, const QString& text)
{
    painter.setPen(colour);
    painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip, text);
}

} // namespace

BitmapButton::BitmapButton(QWidget* parent)
    : QAbstractButton(parent), m_textColor(palette().color(QPalette::ButtonText))
{
    // Mouse moves without a button pressed register the hover look.
    setMouseTracking(true);
}

void BitmapButton::setFaces(ButtonFaces faces)
{
    m_faces = std::move(faces);
    update();
}

void BitmapButton::setTextColor(const QColor& colour)
{
    m_textColor = colour;
}

void BitmapButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(font());
    const QRect face = rect();
    QRect caption = face.adjusted(2, 0, -2, 0);
    const auto drawFace = [&](const QImage& image) {
        if (image.isNull())
            painter.fillRect(face, palette().color(QPalette::Active, QPalette::Button));
        else
            painter.drawImage(QPoint(0, 0), image.scaled(face.size(), Qt::IgnoreAspectRatio,
                                                         Qt::FastTransformation));
    };

    if (!isEnabled()) {
        drawFace(QImage());
        // Embossed: a light caption, and the grey one a pixel up and left.
        drawCaption(painter, caption, palette().color(QPalette::Light), text());
        caption.translate(-1, -1);
        drawCaption(painter, caption, palette().color(QPalette::Disabled, QPalette::ButtonText),
                    text());
        return;
    }
    if (isDown()) {
        drawFace(m_faces.pressed);
        caption.translate(1, 1);
    } else {
        // Without a normal image the face stays plain, whatever else is loaded.
        const bool highlighted = !m_faces.normal.isNull() && (m_hover || hasFocus());
        drawFace(highlighted && !m_faces.highlighted.isNull() ? m_faces.highlighted
                                                              : m_faces.normal);
    }
    drawCaption(painter, caption, m_textColor, text());
}

void BitmapButton::mousePressEvent(QMouseEvent* event)
{
    const bool left = event->button() == Qt::LeftButton;
    // A left press ends the hover look until the next move.
    if (left)
        m_hover = false;
    QAbstractButton::mousePressEvent(event);
    if (left)
        m_held = true;
}

void BitmapButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_held = false;
    QAbstractButton::mouseReleaseEvent(event);
}

void BitmapButton::mouseMoveEvent(QMouseEvent* event)
{
    if (m_held && (event->buttons() & Qt::LeftButton)) {
        // The pushed look follows the cursor in and out of the button.
        const bool over = hitButton(event->position().toPoint());
        if (over != isDown()) {
            setDown(over);
            update();
        }
    } else if (!m_hover) {
        m_hover = true;
        update();
    }
    QAbstractButton::mouseMoveEvent(event);
}

// A double click counts as a second press.
void BitmapButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
}

void BitmapButton::leaveEvent(QEvent* event)
{
    m_hover = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void BitmapButton::focusOutEvent(QFocusEvent* event)
{
    m_held = false;
    QAbstractButton::focusOutEvent(event);
}

} // namespace tavolix

#include "DialogGeometry.h"
#include "SearchDialog.h"

#include <QMouseEvent>
#include <QWindow>

namespace tavolix {

// A left press on the close button closes the window as Exit does, on the
// minimise button minimises it, in any window state. Elsewhere on the strip
// it starts a move of a window that is not maximised, once the press has been
// handled completely.
void SearchDialog::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint() - clientOrigin;
    if (closeZone.contains(point)) {
        close();
        return;
    }
    if (minimiseZone.contains(point)) {
        showMinimized();
        return;
    }
    if (isMaximized())
        return;
    QDialog::mousePressEvent(event);
    if (!QRect(0, 0, clientSize.width(), titleStripHeight).contains(point))
        return;
    m_stripPress = StripPress{event->globalPosition().toPoint(), pos()};
    QMetaObject::invokeMethod(this, &SearchDialog::beginStripMove, Qt::QueuedConnection);
}

// The window manager moves the window where it can. Without one (or where
// the platform refuses), the window follows the cursor itself.
void SearchDialog::beginStripMove()
{
    if (!m_stripPress)
        return; // the button came up before the move could start
    QWindow* window = windowHandle();
    if (window && window->startSystemMove()) {
        m_stripPress.reset();
        return;
    }
    m_stripPress->movingByHand = true;
}

void SearchDialog::mouseMoveEvent(QMouseEvent* event)
{
    if (m_stripPress && m_stripPress->movingByHand && (event->buttons() & Qt::LeftButton))
        move(m_stripPress->windowStart + event->globalPosition().toPoint() -
             m_stripPress->cursorStart);
    // Moves that a control passed on are the control's, not the dialog's.
    if (!childAt(event->position().toPoint()))
        showCaptionHover(event->position().toPoint() - clientOrigin);
}

void SearchDialog::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_stripPress.reset();
    QDialog::mouseReleaseEvent(event);
}

// Every move over the dialog redraws both caption buttons, highlighted where
// the cursor is over them; the highlight lasts until the next paint.
void SearchDialog::showCaptionHover(QPoint clientPoint)
{
    if (closeZone.isEmpty() || minimiseZone.isEmpty())
        return;
    const QRect buttons(
        QPoint(minimiseZone.left(), 0),
        QPoint(closeZone.right() + dialogBorderWidth, titleStripHeight + dialogBorderWidth));
    m_captionHoverPoint = clientPoint;
    repaint(buttons);
    m_captionHoverPoint.reset();
}

} // namespace tavolix

#include "BitmapButton.h"

#include "SkinBitmaps.h"
#include "WindowRegion.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstdint>

namespace tavolix {
namespace {

// Qt treats an empty mask as no mask at all; a mask that lies wholly outside
// the widget hides it and lets no click through, as an empty region should.
const QRegion nothingVisible(-1, -1, 1, 1);

// The siblings of a widget's dialog group, in creation order: from the last
// group start at or before it to the next group start after it.
QList<QWidget*> dialogGroupOf(QWidget& member)
{
    QWidget* parent = member.parentWidget();
    if (!parent)
        return {};
    const QList<QWidget*> siblings = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    const auto startsGroup = [](const QWidget* w) {
        return w->property(startsGroupProperty).toBool();
    };
    const qsizetype own = siblings.indexOf(&member);
    qsizetype first = own;
    while (first > 0 && !startsGroup(siblings[first]))
        --first;
    qsizetype end = own + 1;
    while (end < siblings.size() && !startsGroup(siblings[end]))
        ++end;
    return siblings.mid(first, end - first);
}

} // namespace

ButtonKind buttonKindForStyle(unsigned windowStyle)
{
    const unsigned lowByte = windowStyle & 0xFF;
    if ((lowByte & 3) == 3)
        return ButtonKind::check;
    if ((lowByte & 9) == 9)
        return ButtonKind::radio;
    return ButtonKind::push;
}

BitmapButton::BitmapButton(unsigned windowStyle, QWidget* parent)
    : QAbstractButton(parent), m_buttonKind(buttonKindForStyle(windowStyle)),
      m_textColor(palette().color(QPalette::ButtonText)), m_loadBitmap(loadSkinBitmap)
{
    setProperty(startsGroupProperty, (windowStyle & ButtonStyle::group) != 0);
    // Mouse moves without a button pressed register the hover look.
    setMouseTracking(true);
}

void BitmapButton::setBitmaps(const ButtonBitmaps& ids, int mode, int edges, int inset)
{
    const auto load = [this](int id) {
        const auto number = static_cast<uint16_t>(id);
        return number == 0 ? QImage() : m_loadBitmap(number);
    };
    m_face = {};
    m_face.normal = load(ids.normal);
    m_face.pressed = load(ids.pressed);
    m_face.hover = load(ids.hover);
    m_face.focus = load(ids.focus);
    const bool disabledReusesNormal =
        static_cast<uint16_t>(ids.disabled) == 0 && static_cast<uint16_t>(ids.normal) != 0;
    m_face.disabled = load(disabledReusesNormal ? ids.normal : ids.disabled);

    const int drawMode = std::clamp<int>(static_cast<int16_t>(mode), 0, 2);
    m_face.mode = static_cast<DrawMode>(drawMode);
    m_drawEdges = static_cast<int16_t>(edges);
    m_focusInset = std::max<int>(0, static_cast<int16_t>(inset));

    if (static_cast<uint16_t>(ids.mask) != 0) {
        m_face.mask = load(ids.mask);
        m_region = regionFromBitmap(m_face.mask, Qt::white);
        if (m_region)
            applyRegion(*m_region);
        if (!m_face.mask.isNull() && m_face.mode == DrawMode::copy)
            resize(m_face.mask.size());
    }
    update();
}

void BitmapButton::applyRegion(const QRegion& region)
{
    setMask(region.isEmpty() ? nothingVisible : region);
    update();
}

QColor BitmapButton::setTextColor(const QColor& colour)
{
    return std::exchange(m_textColor, colour);
}

void BitmapButton::setTooltipText(const QString& text)
{
    setToolTip(text);
}

void BitmapButton::setCheck(bool checked)
{
    m_isChecked = checked && m_buttonKind != ButtonKind::push;
    if (m_isChecked && m_buttonKind == ButtonKind::radio)
        uncheckGroup();
    update();
}

// Walks the group forward from this button, wrapping round, past hidden and
// disabled members; the others clear their check once this event is done.
void BitmapButton::uncheckGroup()
{
    const QList<QWidget*> group = dialogGroupOf(*this);
    const qsizetype own = group.indexOf(this);
    for (qsizetype step = 1; step < group.size(); ++step) {
        QWidget* member = group[(own + step) % group.size()];
        if (member->isVisibleTo(parentWidget()) && member->isEnabled())
            QCoreApplication::postEvent(member, new QEvent(bbmUncheck));
    }
}

bool BitmapButton::event(QEvent* event)
{
    if (event->type() == bbmUncheck) {
        if (m_isChecked) {
            m_isChecked = false;
            update();
        }
        return true;
    }
    return QAbstractButton::event(event);
}

// The window shape decides what is "on" the button, as it decides where
// clicks land.
bool BitmapButton::hitButton(const QPoint& pos) const
{
    return rect().contains(pos) && (mask().isEmpty() || mask().contains(pos));
}

void BitmapButton::toggleFromUser()
{
    setCheck(m_buttonKind == ButtonKind::check ? !m_isChecked : true);
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
    if (event->button() == Qt::LeftButton) {
        // The check changes before the click reaches anyone, and only for a
        // release over the button.
        if (m_buttonKind != ButtonKind::push && hitButton(event->position().toPoint()))
            toggleFromUser();
        m_held = false;
    }
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

void BitmapButton::keyPressEvent(QKeyEvent* event)
{
    // A held space bar repeats its key presses; only the first one toggles.
    if (m_buttonKind != ButtonKind::push && event->key() == Qt::Key_Space && !event->isAutoRepeat())
        toggleFromUser();
    QAbstractButton::keyPressEvent(event);
}

} // namespace tavolix

#pragma once

#include "ButtonFace.h"

#include <QAbstractButton>
#include <QEvent>
#include <QImage>
#include <QRegion>
#include <functional>
#include <optional>

namespace tavolix {

// The button styles of a dialog template that decide a button's kind.
namespace ButtonStyle {
inline constexpr unsigned pushButton = 0x0;      // BS_PUSHBUTTON
inline constexpr unsigned defPushButton = 0x1;   // BS_DEFPUSHBUTTON
inline constexpr unsigned checkBox = 0x2;        // BS_CHECKBOX
inline constexpr unsigned autoCheckBox = 0x3;    // BS_AUTOCHECKBOX
inline constexpr unsigned radioButton = 0x4;     // BS_RADIOBUTTON
inline constexpr unsigned auto3State = 0x6;      // BS_AUTO3STATE
inline constexpr unsigned groupBox = 0x7;        // BS_GROUPBOX
inline constexpr unsigned autoRadioButton = 0x9; // BS_AUTORADIOBUTTON
inline constexpr unsigned ownerDraw = 0xB;       // BS_OWNERDRAW
inline constexpr unsigned group = 0x00020000;    // WS_GROUP: starts a dialog group
} // namespace ButtonStyle

enum class ButtonKind
{
    push = 0,
    check = 2,
    radio = 4
};

ButtonKind buttonKindForStyle(unsigned windowStyle);

// Resource numbers of a button's six images; 0 is none.
struct ButtonBitmaps
{
    int normal = 0;
    int pressed = 0;
    int hover = 0;
    int disabled = 0;
    int focus = 0;
    int mask = 0;
};

// Posted to the other members of a radio button's group to clear their check.
inline constexpr QEvent::Type bbmUncheck = static_cast<QEvent::Type>(QEvent::User + 256);

// A widget starts a dialog group when this property is true; BitmapButton
// sets it from WS_GROUP in its style.
inline constexpr char startsGroupProperty[] = "startsDialogGroup";

// The skinned button: draws its face from state images (normal, pressed,
// hover, focus, disabled) through an optional transparency mask, keeps its
// own check state as a check box or radio button, and takes the shape of its
// mask. Looks, strongest first: disabled, pushed (or checked), hover, focus,
// normal. The check state is its own; Qt's checkable state is never used.
class BitmapButton final : public QAbstractButton
{
    Q_OBJECT

public:
    using BitmapSource = std::function<QImage(int resourceId)>;

    // The kind comes from the low byte of the template style.
    explicit BitmapButton(unsigned windowStyle, QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(BitmapButton)

    // Replaces all six images. Ids count by their low 16 bits; a disabled id
    // of 0 reuses the normal image. mode clamps to copy/stretch/tile, inset to
    // at least 0. A mask also gives the button its shape (and, in copy mode,
    // its size); without one the shape stays as it was.
    void setBitmaps(const ButtonBitmaps& ids, int mode, int edges, int inset);
    // Where setBitmaps finds images; the skin's resources unless replaced.
    void setBitmapSource(BitmapSource source) { m_loadBitmap = std::move(source); }

    // Returns the previous colour; the new one shows at the next repaint.
    QColor setTextColor(const QColor& colour);
    void setTooltipText(const QString& text);

    // The check state: always false for a push button. Checking a radio
    // button posts bbmUncheck to the rest of its group.
    void setCheck(bool checked);
    bool check() const { return m_isChecked; }

    ButtonKind buttonKind() const { return m_buttonKind; }
    DrawMode drawMode() const { return m_face.mode; }
    int focusInset() const { return m_focusInset; }
    bool drawsEdges() const { return m_drawEdges != 0; }
    bool isHover() const { return m_hover; }
    bool isHeld() const { return m_held; }
    QColor textColor() const { return m_textColor; }
    const std::optional<QRegion>& region() const { return m_region; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    void applyRegion(const QRegion& region);
    void toggleFromUser();
    void uncheckGroup();
    void paintDisabled(QPainter& painter, QRect caption);

    bool m_isChecked = false;
    const ButtonKind m_buttonKind;
    bool m_hover = false;
    bool m_held = false;
    ButtonFaceImages m_face;
    int m_focusInset = 0;
    QColor m_textColor;
    std::optional<QRegion> m_region;
    int m_drawEdges = 0;
    BitmapSource m_loadBitmap;
};

} // namespace tavolix

#pragma once

#include <QAbstractButton>
#include <QImage>

namespace tavolix {

// The images a button's face is stretched from. The highlighted one shows
// while the cursor is over the button or the button has the focus.
struct ButtonFaces
{
    QImage normal;
    QImage pressed;
    QImage highlighted;
};

// The skinned push button. Its looks, strongest first: disabled (a plain face
// with an embossed caption), pushed, highlighted, normal. A look without an
// image is a plain face.
class BitmapButton final : public QAbstractButton
{
    Q_OBJECT

public:
    explicit BitmapButton(QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(BitmapButton)

    void setFaces(ButtonFaces faces);
    // The caption's colour from the next repaint on.
    void setTextColor(const QColor& colour);

    bool isHover() const { return m_hover; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool m_hover = false;
    bool m_held = false;
    ButtonFaces m_faces;
    QColor m_textColor;
};

} // namespace tavolix

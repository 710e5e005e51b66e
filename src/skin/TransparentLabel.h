#pragma once

#include <QLabel>

namespace tavolix {

// A static text drawn straight onto the dialog's painted background: no box
// of its own, left/top aligned, one line per line break, no word wrap.
//
// The label fills no background, so Qt treats it as see-through and paints
// the dialog's background under its rectangle before every repaint of the
// label. A shorter text therefore leaves no trace of a longer one, and a
// label only ever touches its own rectangle.
class TransparentLabel final : public QLabel
{
    Q_OBJECT

public:
    explicit TransparentLabel(QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(TransparentLabel)

    // Stores the text and repaints at once, so the status line follows the
    // worker step by step. Hides QLabel::setText, which only schedules a paint.
    void setText(const QString& text);

    QColor textColor() const { return m_textColor; }

private:
    // Black for every label: it reads on the grey-to-white background and
    // matches the buttons' captions.
    const QColor m_textColor{Qt::black};
};

} // namespace tavolix

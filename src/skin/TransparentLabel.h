#pragma once

#include <QLabel>

namespace tavolix {

// A static text drawn straight onto the dialog's painted background: no box
// of its own, left/top aligned, one line per line break, no word wrap.
class TransparentLabel final : public QLabel
{
    Q_OBJECT

public:
    explicit TransparentLabel(QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(TransparentLabel)

    // Stores the text and repaints at once, so the status line follows the
    // worker step by step. Hides QLabel::setText, which only schedules a paint.
    void setText(const QString& text);
};

} // namespace tavolix

#include "TransparentLabel.h"

namespace tavolix {

TransparentLabel::TransparentLabel(QWidget* parent) : QLabel(parent)
{
    setAutoFillBackground(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setWordWrap(false);
    setTextFormat(Qt::PlainText);
    setFrameShape(QFrame::NoFrame);
    setMargin(0);
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, m_textColor);
    setPalette(colours);
}

void TransparentLabel::setText(const QString& text)
{
    if (text == QLabel::text())
        return;
    QLabel::setText(text);
    repaint();
}

} // namespace tavolix

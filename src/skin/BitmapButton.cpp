#include "BitmapButton.h"

namespace tavolix {

BitmapButton::BitmapButton(QWidget* parent) : QPushButton(parent)
{
    setAutoDefault(false);
    setDefault(false);
}

void BitmapButton::setTextColor(const QColor& colour)
{
    QPalette colours = palette();
    colours.setColor(QPalette::ButtonText, colour);
    setPalette(colours);
}

} // namespace tavolix

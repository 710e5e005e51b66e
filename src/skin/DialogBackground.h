#pragma once

#include <QSize>

class QPainter;
class QString;

namespace tavolix {

// The dialog's own look until the bitmap skin takes over: a grey-to-white
// gradient over the client area and a blue title strip carrying the title.
// The painter's origin is the client area's top-left corner.
void paintDialogBackground(QPainter& painter, QSize clientSize, const QString& title);

// The one-pixel border around the client area, in window coordinates.
void paintDialogBorder(QPainter& painter, QSize windowSize);

inline constexpr int titleStripHeight = 30;

} // namespace tavolix

#pragma once

#include "ControlId.h"

#include <QMap>
#include <QPoint>

class QWidget;

namespace tavolix {

struct DialogControls;

// Builds the dialog's 38 controls from the control table, in template order
// (which is also the tab order), places them inside the client area that
// starts at clientOrigin, and binds the named ones to their members. Returns
// every named control by its id.
QMap<ControlId, QWidget*> buildControls(QWidget& dialog, QPoint clientOrigin,
                                        DialogControls& members);

// Dialog units to pixels for the template font's fixed base units of 6 × 12
// pixels, rounded as the platform's dialog manager rounds.
constexpr int dialogUnitsToPixelsX(int units)
{
    return (units * 6 + 2) / 4;
}
constexpr int dialogUnitsToPixelsY(int units)
{
    return (units * 12 + 4) / 8;
}

} // namespace tavolix

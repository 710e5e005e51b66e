#pragma once

#include <QIcon>

namespace tavolix {

// The program's icon: one QIcon holding the 16, 32 and 48 pixel images.
QIcon applicationIcon();

} // namespace tavolix

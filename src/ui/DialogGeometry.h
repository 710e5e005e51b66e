#pragma once

#include <QPoint>
#include <QSize>

namespace tavolix {

// The window is the client area inside a painted one-pixel border.
inline constexpr int dialogBorderWidth = 1;
inline constexpr QPoint clientOrigin(dialogBorderWidth, dialogBorderWidth);
inline constexpr QSize clientSize(468, 438); // 312 × 292 dialog units

} // namespace tavolix

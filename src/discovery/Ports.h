#pragma once

#include <cstdint>

namespace tavolix {

// The program sends from and listens on this UDP port; devices answer to it.
inline constexpr uint16_t searchPort = 3566;
// Devices listen for searches and configuration requests on this UDP port.
inline constexpr uint16_t devicePort = 4000;

} // namespace tavolix

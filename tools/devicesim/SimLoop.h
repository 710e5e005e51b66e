#pragma once

#include "SimOptions.h"

namespace tavolix::devicesim {

// Answers requests until SIGINT or SIGTERM arrives. Returns the process exit
// code: 0 after a signal, 1 when the socket cannot be set up.
int runSimulation(const SimOptions& options);

} // namespace tavolix::devicesim

#pragma once

#include "OnvifSimOptions.h"

namespace tavolix::onvifsim {

// Runs the cameras until SIGINT or SIGTERM; the exit code.
int runSimulation(const OnvifSimOptions& options);

} // namespace tavolix::onvifsim

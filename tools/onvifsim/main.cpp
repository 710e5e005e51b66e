// onvifsim: simulated ONVIF cameras that answer WS-Discovery probes and the
// device service's network calls, for tests and benchmarks.
#include "OnvifSimOptions.h"
#include "SimLoop.h"
#include "SimulatorMain.h"

int main(int argc, char** argv)
{
    using namespace tavolix::onvifsim;
    return tavolix::sim::simulatorMain<OnvifSimOptions>(
        argc, argv, "onvifsim",
        "Simulated ONVIF cameras that answer WS-Discovery probes and the device service.",
        &addOptions, &runSimulation);
}

// devicesim: simulated network appliances that answer discovery searches on
// UDP port 4000 and take configuration requests, for tests and benchmarks.
#include "SimLoop.h"
#include "SimOptions.h"
#include "SimulatorMain.h"

int main(int argc, char** argv)
{
    using namespace tavolix::devicesim;
    return tavolix::sim::simulatorMain<SimOptions>(
        argc, argv, "devicesim",
        "Simulated devices that answer searches on UDP port 4000 and take configuration requests.",
        &addOptions, &runSimulation);
}

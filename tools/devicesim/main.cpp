// devicesim: simulated network appliances that answer discovery searches on
// UDP port 4000 and take configuration requests, for tests and benchmarks.
#include "SimLoop.h"
#include "SimOptions.h"

#include <cstdio>
#include <span>

int main(int argc, char** argv)
{
    using namespace tavolix::devicesim;
    const OptionsOutcome outcome =
        parseOptions(std::span<char* const>(argv + 1, static_cast<std::size_t>(argc - 1)));
    if (outcome.helpRequested) {
        std::fputs(outcome.message.c_str(), stdout);
        return 0;
    }
    if (!outcome.options) {
        std::fprintf(stderr, "devicesim: %s\n%s", outcome.message.c_str(), usageText().c_str());
        return 2;
    }
    return runSimulation(*outcome.options);
}

// onvifsim: simulated ONVIF cameras that answer WS-Discovery probes and the
// device service's network calls, for tests and benchmarks.
#include "OnvifSimOptions.h"
#include "SimLoop.h"

#include <cstdio>
#include <span>

int main(int argc, char** argv)
{
    using namespace tavolix::onvifsim;
    const OptionsOutcome outcome =
        parseOptions(std::span<char* const>(argv + 1, static_cast<std::size_t>(argc - 1)));
    if (outcome.helpRequested) {
        std::fputs(outcome.message.c_str(), stdout);
        return 0;
    }
    if (!outcome.options) {
        std::fprintf(stderr, "onvifsim: %s\n%s", outcome.message.c_str(), usageText().c_str());
        return 2;
    }
    return runSimulation(*outcome.options);
}

#include "SimulatorMain.h"

#include <cstdio>
#include <sys/resource.h>

namespace tavolix::sim {
namespace {

void raiseDescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int runSimulator(CLI::App& app, int argc, char** argv, const std::function<int()>& simulate)
{
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::ParseError& error) {
        std::fprintf(stderr, "%s: %s\nRun with --help for the options.\n", app.get_name().c_str(),
                     error.what());
        return 2;
    }
    raiseDescriptorLimit();
    return simulate();
}

} // namespace tavolix::sim

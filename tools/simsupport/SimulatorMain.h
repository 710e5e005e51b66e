#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

namespace tavolix::sim {

// Parses the command line: --help prints the options and ends with 0, a bad
// option is named on standard error and ends with 2. Otherwise raises the
// descriptor limit (a thousand devices hold a socket or more each) and runs.
int runSimulator(CLI::App& app, int argc, char** argv, const std::function<int()>& simulate);

// The whole of a simulator's main(): its options, filled in from the command
// line, then its simulation.
template <typename Options>
int simulatorMain(int argc, char** argv, const std::string& name, const std::string& description,
                  void (*addOptions)(CLI::App&, Options&), int (*simulate)(const Options&))
{
    Options options;
    CLI::App app{description, name};
    addOptions(app, options);
    return runSimulator(app, argc, argv, [&] { return simulate(options); });
}

} // namespace tavolix::sim

#pragma once

#include <CLI/CLI.hpp>

namespace tavolix::cli {

// Each sub-command in its own file: its options, a setup that adds them to
// the program's command line, and a run that the parsed command line calls.
// The run's exit code goes into exitCode.
void setupSearch(CLI::App& program, int& exitCode);
void setupSet(CLI::App& program, int& exitCode);
void setupPlan(CLI::App& program, int& exitCode);
void setupApply(CLI::App& program, int& exitCode);
void setupDoctor(CLI::App& program, int& exitCode);

} // namespace tavolix::cli

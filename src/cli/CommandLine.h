#pragma once

namespace tavolix::cli {

// Parses the command line, runs the sub-command and returns the exit code.
int runCommandLine(int argc, char** argv);

} // namespace tavolix::cli

#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace tavolix::e2e {

struct CommandResult
{
    int exitCode = -1;  // -1 when the program could not be started or was killed
    std::string output; // standard output and standard error together
};

// Runs a program found on PATH, waits for it and collects what it printed.
CommandResult runCommand(const std::vector<std::string>& arguments);

// Starts a program found on PATH with its standard output on outputFd (and
// standard error inherited). Returns its pid, or -1.
pid_t spawnWithOutput(const std::vector<std::string>& arguments, int outputFd);

// Waits for the child and turns its end into an exit code: the code it
// exited with, 128 + signal number when a signal ended it, -1 on error.
int reapChild(pid_t pid);

} // namespace tavolix::e2e

#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tavolix::doctor {

struct ProgramOutput
{
    int exitCode = -1;
    std::string output; // standard output
    std::string errors; // standard error
};

// The full path of a program in $PATH or the sbin folders (where nft and
// iptables-save live, often outside an ordinary user's PATH); empty if none.
std::string findProgram(const std::string& name);

// Runs a program with these arguments to its end and collects what it
// printed. Nothing when it could not be started.
std::optional<ProgramOutput> runProgram(const std::vector<std::string>& arguments);

} // namespace tavolix::doctor

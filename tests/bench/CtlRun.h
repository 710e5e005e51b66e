#pragma once

// tavolixctl as the benchmarks that time it run it; the program is the one
// the target names in TAVOLIXCTL_PATH.
#include "ChildProcess.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tavolix::bench {

inline std::string contents(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Runs tavolixctl in the namespace, with the simulators' password; its
// standard output goes to `output` and its standard error beside it (".err").
inline int runCtl(const std::string& namespaceName, const std::vector<std::string>& arguments,
                  const std::filesystem::path& output)
{
    test::LaunchOptions launch;
    launch.arguments = {TAVOLIXCTL_PATH};
    launch.arguments.insert(launch.arguments.end(), arguments.begin(), arguments.end());
    launch.environment = std::vector<std::string>{"PATH=/usr/bin:/bin", "TAVOLIX_PASSWORD=admin"};
    launch.networkNamespace = namespaceName;
    launch.outputFile = output;
    launch.errorFile = output.string() + ".err";
    test::ChildProcess process(launch);
    return process.wait();
}

} // namespace tavolix::bench

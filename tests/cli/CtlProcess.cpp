#include "CtlProcess.h"

#include <chrono>
#include <fstream>
#include <sstream>

namespace tavolix::e2e {
namespace {

std::string contents(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

CtlProcess::CtlProcess(const std::string& namespaceName, const std::vector<std::string>& arguments,
                       const std::vector<std::string>& environment, const std::string& input)
{
    std::ofstream(m_folder.path() / "in", std::ios::binary) << input;
    test::LaunchOptions launch;
    launch.arguments = {TAVOLIXCTL_PATH};
    launch.arguments.insert(launch.arguments.end(), arguments.begin(), arguments.end());
    launch.environment = environment;
    launch.environment->push_back("PATH=/usr/bin:/bin");
    launch.networkNamespace = namespaceName;
    launch.outputFile = m_folder.path() / "out";
    launch.errorFile = m_folder.path() / "err";
    launch.inputFile = m_folder.path() / "in";
    m_process = std::make_unique<test::ChildProcess>(launch);
}

bool CtlProcess::running()
{
    return m_process->started() && !m_process->poll();
}

CtlResult CtlProcess::finish()
{
    CtlResult result;
    const auto ended = m_process->waitAtMost(std::chrono::minutes(1));
    result.exitCode = ended ? *ended : m_process->terminate();
    result.out = contents(m_folder.path() / "out");
    result.err = contents(m_folder.path() / "err");
    return result;
}

CtlResult runCtl(const std::string& namespaceName, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment, const std::string& input)
{
    return CtlProcess(namespaceName, arguments, environment, input).finish();
}

} // namespace tavolix::e2e

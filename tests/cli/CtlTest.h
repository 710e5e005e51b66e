#pragma once

#include "ByteImage.h"
#include "ChildProcess.h"
#include "NamespaceTest.h"
#include "TemporaryDirectory.h"

#include <fstream>
#include <gmock/gmock.h>
#include <nlohmann/json.hpp>
#include <sstream>

namespace tavolix::e2e {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

struct CtlResult
{
    int exitCode = -1;
    std::string out; // standard output
    std::string err; // standard error
};

inline std::string fileText(const std::filesystem::path& path)
{
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// The built tavolixctl in a network namespace, standard output and error kept
// apart, only the environment given (nothing of the test's own), standard
// input read from `input`.
class CtlProcess final
{
public:
    CtlProcess(const std::string& netns, const std::vector<std::string>& arguments,
               std::vector<std::string> environment = {}, const std::string& input = "")
        : m_process(launch(netns, arguments, std::move(environment), input))
    {}

    bool running() { return m_process.started() && !m_process.poll(); }

    // Waits for its end (at most a minute, then it is ended) and collects what it printed.
    CtlResult finish()
    {
        const auto ended = m_process.waitAtMost(std::chrono::minutes(1));
        return {ended ? *ended : m_process.terminate(), fileText(m_folder.path() / "out"),
                fileText(m_folder.path() / "err")};
    }

private:
    test::LaunchOptions launch(const std::string& netns, const std::vector<std::string>& arguments,
                               std::vector<std::string> environment, const std::string& input)
    {
        std::ofstream(m_folder.path() / "in", std::ios::binary) << input;
        environment.push_back("PATH=/usr/bin:/bin");
        test::LaunchOptions options;
        options.arguments = {TAVOLIXCTL_PATH};
        options.environment = std::move(environment);
        options.networkNamespace = netns;
        options.outputFile = m_folder.path() / "out";
        options.errorFile = m_folder.path() / "err";
        options.inputFile = m_folder.path() / "in";
        options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
        return options;
    }

    test::TemporaryDirectory m_folder;
    test::ChildProcess m_process;
};

// tavolixctl in the "host" namespace, simulated devices in "devices".
class CtlTest : public NamespaceTest
{
protected:
    CtlResult ctl(const std::vector<std::string>& arguments,
                  const std::vector<std::string>& environment = {}, const std::string& input = "")
    {
        return CtlProcess(topology.name("host"), arguments, environment, input).finish();
    }

    // A file of the test's own, for plans and passwords.
    std::string writeFile(const std::string& name, const std::string& text)
    {
        const std::filesystem::path path = folder.path() / name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // Every datagram the simulator received up to the marker was a search request.
    void expectSearchesThenMarker(std::size_t searches, const std::string& marker)
    {
        syncWith(*sim, devicesAddress, marker);
        const auto received = sim->datagrams("recv");
        ASSERT_EQ(received.size(), searches + 1) << "the searches and the marker, nothing else";
        for (std::size_t i = 0; i < searches; ++i)
            EXPECT_EQ(received[i].bytes, searchRequestImage()) << i;
    }

    test::TemporaryDirectory folder;
};

} // namespace tavolix::e2e

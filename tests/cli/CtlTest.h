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

using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::Not;

struct CtlResult
{
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string fileText(const std::filesystem::path& path)
{
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// tavolixctl in the "host" namespace, simulated devices in "devices".
class CtlTest : public NamespaceTest
{
protected:
    // tavolixctl with only the environment given.
    CtlResult ctl(std::vector<std::string> arguments, std::vector<std::string> environment = {},
                  const std::string& input = "", const std::string& netns = "host")
    {
        const test::TemporaryDirectory io;
        std::ofstream(io.path() / "in", std::ios::binary) << input;
        arguments.insert(arguments.begin(), TAVOLIXCTL_PATH);
        environment.push_back("PATH=/usr/bin:/bin");
        test::LaunchOptions options;
        options.arguments = std::move(arguments);
        options.environment = std::move(environment);
        options.networkNamespace = topology.name(netns);
        options.outputFile = outputPath.empty() ? (io.path() / "out").string() : outputPath;
        options.errorFile = io.path() / "err";
        options.inputFile = io.path() / "in";
        test::ChildProcess process(options);
        const auto ended = process.waitAtMost(std::chrono::minutes(1));
        return {ended ? *ended : process.terminate(), fileText(io.path() / "out"),
                fileText(io.path() / "err")};
    }

    // tavolixctl logged in as "admin", the password from the environment.
    CtlResult asAdmin(std::vector<std::string> arguments, const std::string& password = "admin")
    {
        arguments.insert(arguments.end(), {"--user", "admin"});
        return ctl(std::move(arguments), {"TAVOLIX_PASSWORD=" + password});
    }

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
            EXPECT_EQ(received[i].bytes, test::searchRequestImage()) << i;
    }

    test::TemporaryDirectory folder;
    std::string outputPath; // where tavolixctl's standard output goes, when set
};

} // namespace tavolix::e2e

#pragma once

#include "ByteImage.h"
#include "ChildProcess.h"
#include "NamespaceTest.h"
#include "TemporaryDirectory.h"

#include <fstream>
#include <gmock/gmock.h>
#include <memory>
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

    // onvifsim per mode in "devices", each on addresses of its own: 198.18.0.20, .30, ...; the
    // link made first unless the devices' simulator made it.
    void startSite(const std::vector<std::vector<std::string>>& modes)
    {
        if (topology.name("devices").empty())
            makeHostAndDevices();
        ASSERT_FALSE(HasFatalFailure());
        for (std::size_t i = 0; i < modes.size(); ++i) {
            const std::string unit = std::to_string(20 + 10 * i);
            std::vector<std::string> options = {
                "--interface", "veth0b",           "--gateway",  "198.18.0.1",
                "--ip-base",   "198.18.0." + unit, "--mac-base", "02005e" + unit + "0001"};
            options.insert(options.end(), modes[i].begin(), modes[i].end());
            cameras.push_back(std::make_unique<DeviceSimProcess>(topology.name("devices"), options,
                                                                 TAVOLIX_ONVIFSIM_PATH));
            ASSERT_TRUE(cameras.back()->waitReady());
        }
    }

    // The cameras' transcript lines that begin with the prefix, without it.
    std::vector<std::string> camerasSaid(const std::string& prefix) const
    {
        std::vector<std::string> found;
        for (const auto& process : cameras) {
            for (const std::string& line : process ? process->lines() : std::vector<std::string>{})
                if (line.starts_with(prefix))
                    found.push_back(line.substr(prefix.size()));
        }
        return found;
    }
    bool anyCameraSaid(const std::string& text) const
    {
        return std::ranges::any_of(cameras, [&](const auto& process) {
            return process && std::ranges::any_of(process->lines(), [&](const std::string& line) {
                       return line.find(text) != std::string::npos;
                   });
        });
    }

    std::vector<std::unique_ptr<DeviceSimProcess>> cameras;
    test::TemporaryDirectory folder;
    std::string outputPath; // where tavolixctl's standard output goes, when set
};

} // namespace tavolix::e2e

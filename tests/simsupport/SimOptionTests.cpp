#include "OnvifSimOptions.h"
#include "SimOptions.h"

#include <CLI/CLI.hpp>
#include <gtest/gtest.h>

namespace tavolix {
namespace {

// Parses as the simulator's main() would; false when CLI11 refuses the arguments.
template <typename Options> bool parses(std::vector<std::string> arguments, Options options = {})
{
    CLI::App app;
    addOptions(app, options);
    std::ranges::reverse(arguments); // CLI11 takes them last first
    try {
        app.parse(arguments);
        return true;
    } catch (const CLI::ParseError&) {
        return false;
    }
}

TEST(DeviceSimAndOnvifSimOptions, TypedValuesAreTakenAndWrongOnesRefused)
{
    devicesim::SimOptions options;
    CLI::App app;
    devicesim::addOptions(app, options);
    app.parse("--count 5 --count 1000 --mode pppoe --login op:a:b --mac-base 0a0000000001 "
              "--ip-base 10.0.0.9 --raw-texts 41 --raw-texts ,42",
              false);
    EXPECT_EQ(options.count, 1000);
    EXPECT_EQ(options.networkMode, devicesim::pppoeMode);
    EXPECT_EQ(options.loginAccount + "|" + options.loginPassword, "op|a:b");
    EXPECT_EQ(options.macBase, 0x0a0000000001u);
    EXPECT_EQ(options.ipBase, 0x0a000009u);
    EXPECT_EQ(options.rawTexts.size(), 2u);

    using Arguments = std::vector<std::string>;
    // clang-format off
    for (const Arguments& wrong : {Arguments{"--count", "0"}, {"--kind", "2"}, {"--login", "admin:"},
             {"--mac-base", "02e"}, {"--ip-base", "198.18.1"}, {"--raw-texts", "41", "42"},
             {"--name", ""}, {"stray"}})
        EXPECT_FALSE(parses<devicesim::SimOptions>(wrong)) << wrong.front();
    for (const Arguments& wrong : {Arguments{"--count", "4097"}, {"--answer-type", "wsdp"},
             {"--user", ""}, {"--typed-only", "--answer-type", "dn"}, {"--quiet", "yes"},
             {"--auth", "basic"}, {"--challenge-style", "mixed"}, {"--stale-after", "-1"},
             {"--xaddr-scheme", "ftp"}, {"--xaddr-host", ""}})
        EXPECT_FALSE(parses<onvifsim::OnvifSimOptions>(wrong)) << wrong.front();
    // clang-format on
}

} // namespace
} // namespace tavolix

#include "OnvifSimOptions.h"
#include "SimOptions.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <gtest/gtest.h>

namespace tavolix {
namespace {

// Parses `arguments` as the simulator's main() would; false when CLI11 refuses them.
template <typename Options> bool parse(std::vector<std::string> arguments, Options& options)
{
    CLI::App app;
    addOptions(app, options);
    std::reverse(arguments.begin(), arguments.end()); // CLI11 takes them last first
    try {
        app.parse(arguments);
        return true;
    } catch (const CLI::ParseError&) {
        return false;
    }
}

TEST(DeviceSimOptions, ValuesAreTypedAndWrongOnesRefused)
{
    devicesim::SimOptions options;
    ASSERT_TRUE(parse({"--count", "1000", "--kind", "0", "--mode", "pppoe", "--login", "op:a:b",
                       "--mac-base", "0a0000000001", "--ip-base", "10.0.0.9", "--reply",
                       "broadcast", "--raw-texts", "41", "--raw-texts", ",42", "--same-ip"},
                      options));
    EXPECT_EQ(options.count, 1000);
    EXPECT_EQ(options.kind, DeviceKind::Unstated);
    EXPECT_EQ(options.networkMode, devicesim::pppoeMode);
    EXPECT_EQ(options.loginAccount + "|" + options.loginPassword, "op|a:b");
    EXPECT_EQ(options.macBase, 0x0a0000000001u);
    EXPECT_EQ(options.ipBase, 0x0a000009u);
    EXPECT_EQ(options.replyMode, devicesim::ReplyMode::Broadcast);
    EXPECT_EQ(options.rawTexts.size(), 2u);
    EXPECT_TRUE(options.sharedAddress);

    const std::vector<std::vector<std::string>> refused = {
        {"--count", "0"},
        {"--count", "65536"},
        {"--kind", "2"},
        {"--mode", "auto"},
        {"--login", "admin"},
        {"--login", "admin:"},
        {"--mac-base", "02005e"},
        {"--ip-base", "198.18.1"},
        {"--port", "70000"},
        {"--raw-texts", "4"},
        {"--raw-texts", "41", "42"},
        {"--name", ""},
        {"--count"},
        {"--counts", "1"},
        {"stray"},
    };
    for (const auto& arguments : refused) {
        devicesim::SimOptions unused;
        EXPECT_FALSE(parse(arguments, unused)) << arguments.front();
    }
}

TEST(OnvifSimOptions, ValuesAreTypedAndWrongOnesRefused)
{
    onvifsim::OnvifSimOptions options;
    ASSERT_TRUE(parse({"--count", "4096", "--gateway", "198.18.0.254", "--clock-offset", "-3600",
                       "--answer-type", "tds", "--password", ""},
                      options));
    EXPECT_EQ(options.count, 4096);
    EXPECT_EQ(options.gateway, 0xC61200FEu);
    EXPECT_EQ(options.clockOffsetSeconds, -3600);
    EXPECT_EQ(options.probeFilter, onvifsim::ProbeFilter::OnlyTds);
    EXPECT_EQ(options.password, "");

    const std::vector<std::vector<std::string>> refused = {
        {"--count", "4097"}, {"--prefix", "31"},      {"--answer-type", "wsdp"},
        {"--user", ""},      {"--match-delay", "-1"}, {"--typed-only", "--answer-type", "dn"},
        {"--quiet", "yes"},  {"--gateway", "x"},
    };
    for (const auto& arguments : refused) {
        onvifsim::OnvifSimOptions unused;
        EXPECT_FALSE(parse(arguments, unused)) << arguments.front();
    }
}

} // namespace
} // namespace tavolix

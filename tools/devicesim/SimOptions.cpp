#include "SimOptions.h"

#include "OptionChecks.h"

#include <map>

namespace tavolix::devicesim {
namespace {

constexpr int maximumDevices = 65535;
constexpr int maximumPadding = 2500;
constexpr int maximumApplyDelayMs = 600'000;

using sim::addNumberOption;

std::optional<std::pair<std::string, std::string>> splitLogin(const std::string& text)
{
    const auto colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size())
        return std::nullopt;
    return std::pair(text.substr(0, colon), text.substr(colon + 1));
}

} // namespace

void addOptions(CLI::App& app, SimOptions& options)
{
    sim::lastValueWins(app);
    addNumberOption(app, "--count", options.count, 1, maximumDevices,
                    "simulated devices (1..65535, default 1)");
    app.add_option_function<int>(
           "--kind", [&](int kind) { options.kind = static_cast<DeviceKind>(kind); },
           "device kind in replies (0: no kind record; default 1)")
        ->check(CLI::IsMember({0, 1, 3}).description(""))
        ->type_name("0|1|3");
    static const std::map<std::string, NetworkModeBytes> modes = {
        {"static", staticMode}, {"dhcp", dhcpMode}, {"pppoe", pppoeMode}};
    app.add_option_function<std::string>(
           "--mode", [&](const std::string& mode) { options.networkMode = modes.at(mode); },
           "initial network mode (default static)")
        ->check(CLI::IsMember({"static", "dhcp", "pppoe"}).description(""))
        ->type_name("static|dhcp|pppoe");
    const CLI::Validator isLogin(
        [](const std::string& text) {
            return splitLogin(text) ? std::string() : "not USER:PASS with both given";
        },
        "");
    app.add_option_function<std::string>(
           "--login",
           [&](const std::string& text) {
               std::tie(options.loginAccount, options.loginPassword) = *splitLogin(text);
           },
           "login the devices accept (default admin:admin)")
        ->check(isLogin)
        ->type_name("USER:PASS");
    app.add_option("--name", options.namePrefix,
                   "device names PREFIX-001, PREFIX-002, ... (default SIM)")
        ->check(sim::nonEmpty())
        ->type_name("PREFIX");
    sim::addMacOption(app, "--mac-base", options.macBase,
                      "MAC of the first device; device i gets base + i");
    sim::addAddressOption(app, "--ip-base", options.ipBase,
                          "address of the first device (default 198.18.1.1)");
    addNumberOption(app, "--http-port", options.httpPort, uint16_t{1}, uint16_t{65535},
                    "HTTP port in replies (default 80)");
    app.add_option("--reply", options.replyMode, "where replies go (default unicast)")
        ->transform(CLI::CheckedTransformer(
                        std::map<std::string, ReplyMode>{{"unicast", ReplyMode::Unicast},
                                                         {"broadcast", ReplyMode::Broadcast}})
                        .description(""))
        ->type_name("unicast|broadcast");
    addNumberOption(app, "--port", options.listenPort, uint16_t{1}, uint16_t{65535},
                    "listening port (default 4000)");
    addNumberOption(app, "--reply-port", options.replyPort, uint16_t{1}, uint16_t{65535},
                    "port of broadcast replies (default 3566)");
    addNumberOption(app, "--padding", options.paddingBytes, 0, maximumPadding,
                    "extra unknown-tag bytes per reply (default 0)");
    app.add_flag("--quiet", options.quiet, "no line per datagram");
    const CLI::Validator isRawTexts(
        [](const std::string& text) {
            return parseRawTexts(text) ? std::string() : "not hex texts that fit: " + text;
        },
        "");
    app.add_option_function<std::vector<std::string>>(
           "--raw-texts",
           [&](const std::vector<std::string>& texts) {
               for (const std::string& text : texts)
                   options.rawTexts.push_back(*parseRawTexts(text));
           },
           "the next device's name and PPPoE texts as hex bytes, in any encoding (repeatable)")
        ->check(isRawTexts)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->type_name("NAME[,ACCOUNT[,PASSWORD]]");
    addNumberOption(app, "--ignore-config", options.ignoringDevices, 0, maximumDevices,
                    "the first N devices drop every configuration (default 0)");
    addNumberOption(app, "--apply-delay", options.applyDelayMs, 0, maximumApplyDelayMs,
                    "a configuration takes effect MS ms after it arrives")
        ->type_name("MS");
    app.add_flag("--same-ip", options.sharedAddress,
                 "every device starts on the --ip-base address");
    app.add_flag("--same-mac", options.sharedMac,
                 "every device has the --mac-base MAC, as cloned firmware");
}

} // namespace tavolix::devicesim

#include "SimOptions.h"

#include "Ipv4.h"

#include <charconv>
#include <string_view>

namespace tavolix::devicesim {
namespace {

constexpr int maximumDevices = 65535;
constexpr int maximumPadding = 2500;
constexpr int maximumApplyDelayMs = 600'000;

template <typename Number>
bool parseNumber(std::string_view text, Number low, Number high, Number& result, int base = 10)
{
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc{} || end != text.data() + text.size() || value < low || value > high)
        return false;
    result = value;
    return true;
}

bool parseMode(std::string_view text, NetworkModeBytes& mode)
{
    if (text == "static")
        mode = staticMode;
    else if (text == "dhcp")
        mode = dhcpMode;
    else if (text == "pppoe")
        mode = pppoeMode;
    else
        return false;
    return true;
}

bool parseLogin(std::string_view text, SimOptions& options)
{
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return false;
    options.loginAccount = std::string(text.substr(0, colon));
    options.loginPassword = std::string(text.substr(colon + 1));
    return !options.loginPassword.empty();
}

bool parseReplyMode(std::string_view text, ReplyMode& mode)
{
    if (text == "unicast")
        mode = ReplyMode::Unicast;
    else if (text == "broadcast")
        mode = ReplyMode::Broadcast;
    else
        return false;
    return true;
}

// Applies one "--name value" pair; false when the name is unknown or the value bad.
bool applyOption(std::string_view name, const std::string& value, SimOptions& options)
{
    if (name == "--count")
        return parseNumber(value, 1, maximumDevices, options.count);
    if (name == "--kind") {
        int kind = 0;
        if (!parseNumber(value, 0, 3, kind) || kind == 2)
            return false;
        options.kind = static_cast<DeviceKind>(kind);
        return true;
    }
    if (name == "--mode")
        return parseMode(value, options.networkMode);
    if (name == "--login")
        return parseLogin(value, options);
    if (name == "--name") {
        options.namePrefix = value;
        return !value.empty();
    }
    if (name == "--mac-base")
        return value.size() == 12 && parseNumber(std::string_view(value), uint64_t{0},
                                                 uint64_t{0xFFFFFFFFFFFF}, options.macBase, 16);
    if (name == "--ip-base") {
        const auto address = parseIpv4(value);
        options.ipBase = address.value_or(options.ipBase);
        return address.has_value();
    }
    if (name == "--http-port")
        return parseNumber(value, uint16_t{1}, uint16_t{65535}, options.httpPort);
    if (name == "--reply")
        return parseReplyMode(value, options.replyMode);
    if (name == "--port")
        return parseNumber(value, uint16_t{1}, uint16_t{65535}, options.listenPort);
    if (name == "--reply-port")
        return parseNumber(value, uint16_t{1}, uint16_t{65535}, options.replyPort);
    if (name == "--padding")
        return parseNumber(value, 0, maximumPadding, options.paddingBytes);
    if (name == "--raw-texts") {
        const std::optional<RawTexts> texts = parseRawTexts(value);
        if (texts)
            options.rawTexts.push_back(*texts);
        return texts.has_value();
    }
    if (name == "--ignore-config")
        return parseNumber(value, 0, maximumDevices, options.ignoringDevices);
    if (name == "--apply-delay")
        return parseNumber(value, 0, maximumApplyDelayMs, options.applyDelayMs);
    return false;
}

} // namespace

OptionsOutcome parseOptions(std::span<char* const> arguments)
{
    OptionsOutcome outcome;
    SimOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view name = arguments[i];
        if (name == "--help" || name == "-h") {
            outcome.helpRequested = true;
            outcome.message = usageText();
            return outcome;
        }
        if (name == "--quiet") {
            options.quiet = true;
            continue;
        }
        if (name == "--same-ip") {
            options.sharedAddress = true;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            outcome.message = "missing value for " + std::string(name);
            return outcome;
        }
        const std::string value = arguments[++i];
        if (!applyOption(name, value, options)) {
            outcome.message = "bad option: " + std::string(name) + " " + value;
            return outcome;
        }
    }
    outcome.options = options;
    return outcome;
}

std::string usageText()
{
    return "usage: devicesim [options]\n"
           "  --count N              simulated devices (1..65535, default 1)\n"
           "  --kind 0|1|3           device kind in replies (0: no kind record; default 1)\n"
           "  --mode static|dhcp|pppoe  initial network mode (default static)\n"
           "  --login USER:PASS      login the devices accept (default admin:admin)\n"
           "  --name PREFIX          device names PREFIX-001, PREFIX-002, ... (default SIM)\n"
           "  --mac-base 12HEX       MAC of the first device; device i gets base + i\n"
           "  --ip-base A.B.C.D      address of the first device (default 198.18.1.1)\n"
           "  --http-port N          HTTP port in replies (default 80)\n"
           "  --reply unicast|broadcast  where replies go (default unicast)\n"
           "  --port N               listening port (default 4000)\n"
           "  --reply-port N         port of broadcast replies (default 3566)\n"
           "  --padding N            extra unknown-tag bytes per reply (default 0)\n"
           "  --quiet                no line per datagram\n"
           "  --raw-texts NAME[,ACCOUNT[,PASSWORD]]  the next device's name and PPPoE\n"
           "                         texts as hex bytes, in any encoding (repeatable)\n"
           "  --ignore-config N      the first N devices drop every configuration (default 0)\n"
           "  --apply-delay MS       a configuration takes effect MS ms after it arrives\n"
           "  --same-ip              every device starts on the --ip-base address\n";
}

} // namespace tavolix::devicesim

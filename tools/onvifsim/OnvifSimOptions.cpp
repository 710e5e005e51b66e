#include "OnvifSimOptions.h"

#include <charconv>
#include <string_view>

namespace tavolix::onvifsim {
namespace {

constexpr int maximumDevices = 4096; // one address each, on one interface

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

bool parseAddress(std::string_view text, Ipv4& result)
{
    const auto address = parseIpv4(text);
    result = address.value_or(result);
    return address.has_value();
}

bool parseAnswerType(std::string_view text, ProbeFilter& filter)
{
    if (text == "dn")
        filter = ProbeFilter::OnlyDn;
    else if (text == "tds")
        filter = ProbeFilter::OnlyTds;
    else
        return false;
    return true;
}

// Applies one "--name value" pair; false when the name is unknown or the value bad.
bool applyOption(std::string_view name, const std::string& value, OnvifSimOptions& options)
{
    if (name == "--count")
        return parseNumber(value, 1, maximumDevices, options.count);
    if (name == "--mac-base")
        return value.size() == 12 && parseNumber(std::string_view(value), uint64_t{0},
                                                 uint64_t{0xFFFFFFFFFFFF}, options.macBase, 16);
    if (name == "--ip-base")
        return parseAddress(value, options.ipBase);
    if (name == "--prefix")
        return parseNumber(value, 1, 30, options.prefixLength);
    if (name == "--gateway")
        return parseAddress(value, options.gateway);
    if (name == "--interface") {
        options.interfaceName = value;
        return !value.empty();
    }
    if (name == "--http-port")
        return parseNumber(value, uint16_t{1}, uint16_t{65535}, options.httpPort);
    if (name == "--user") {
        options.user = value;
        return !value.empty();
    }
    if (name == "--password") {
        options.password = value;
        return true;
    }
    if (name == "--name-prefix") {
        options.namePrefix = value;
        return !value.empty();
    }
    if (name == "--clock-offset")
        return parseNumber(value, -3'000'000'000LL, 3'000'000'000LL, options.clockOffsetSeconds);
    if (name == "--answer-type")
        return parseAnswerType(value, options.probeFilter);
    if (name == "--match-delay")
        return parseNumber(value, 0, 10'000, options.matchDelayMs);
    if (name == "--ignoring")
        return parseNumber(value, 0, maximumDevices, options.ignoringDevices);
    return false;
}

bool applyFlag(std::string_view name, OnvifSimOptions& options)
{
    if (name == "--quiet")
        options.quiet = true;
    else if (name == "--typed-only")
        options.probeFilter = ProbeFilter::TypedOnly;
    else if (name == "--extra-xaddrs")
        options.extraXAddrs = true;
    else if (name == "--mac-endpoints")
        options.macEndpoints = true;
    else if (name == "--reboot-needed")
        options.rebootNeeded = true;
    else if (name == "--wsdp-host")
        options.wsdpHost = true;
    else
        return false;
    return true;
}

} // namespace

OptionsOutcome parseOptions(std::span<char* const> arguments)
{
    OptionsOutcome outcome;
    OnvifSimOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view name = arguments[i];
        if (name == "--help" || name == "-h") {
            outcome.helpRequested = true;
            outcome.message = usageText();
            return outcome;
        }
        if (applyFlag(name, options))
            continue;
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
    return "usage: onvifsim [options]\n"
           "  --count N              simulated cameras (1..4096, default 1)\n"
           "  --mac-base 12HEX       MAC of the first camera; camera i gets base + i\n"
           "  --ip-base A.B.C.D      address of the first camera (default 198.18.0.20)\n"
           "  --prefix N             their prefix length (default 24)\n"
           "  --gateway A.B.C.D      their default gateway (default none)\n"
           "  --interface NAME       add the cameras' addresses to NAME, move them there,\n"
           "                         and take probes from NAME's multicast group\n"
           "  --http-port N          HTTP port of the device service (default 80)\n"
           "  --user NAME            login the cameras accept (default admin)\n"
           "  --password TEXT        its password (default admin)\n"
           "  --name-prefix PREFIX   camera names PREFIX-001, ... (default ONVIFSIM)\n"
           "  --clock-offset SECONDS the cameras' clock runs this far from real time\n"
           "  --typed-only           answer only probes that list types\n"
           "  --answer-type dn|tds   answer only probes that list this type\n"
           "  --extra-xaddrs         advertise IPv6 link-local and 169.254 XAddrs first\n"
           "  --mac-endpoints        version-1 UUID EndpointReferences, the MAC as node\n"
           "  --reboot-needed        a new address waits for SystemReboot (RebootNeeded)\n"
           "  --ignoring N           the first N cameras accept changes and keep settings\n"
           "  --wsdp-host            one more answerer: a computer (wsdp:Device, no scopes)\n"
           "  --match-delay MS       each camera answers a probe after a random wait of\n"
           "                         up to MS ms (WS-Discovery devices wait up to 500)\n"
           "  --quiet                no line per probe\n";
}

} // namespace tavolix::onvifsim

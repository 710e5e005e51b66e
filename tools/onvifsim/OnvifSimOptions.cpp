#include "OnvifSimOptions.h"

#include "OptionChecks.h"

#include <map>

namespace tavolix::onvifsim {
namespace {

constexpr int maximumDevices = 4096; // one address each, on one interface

using sim::addNumberOption;

} // namespace

void addOptions(CLI::App& app, OnvifSimOptions& options)
{
    sim::lastValueWins(app);
    addNumberOption(app, "--count", options.count, 1, maximumDevices,
                    "simulated cameras (1..4096, default 1)");
    sim::addMacOption(app, "--mac-base", options.macBase,
                      "MAC of the first camera; camera i gets base + i");
    sim::addAddressOption(app, "--ip-base", options.ipBase,
                          "address of the first camera (default 198.18.0.20)");
    addNumberOption(app, "--prefix", options.prefixLength, 1, 30,
                    "their prefix length (default 24)");
    sim::addAddressOption(app, "--gateway", options.gateway,
                          "their default gateway (default none)");
    app.add_option("--interface", options.interfaceName,
                   "add the cameras' addresses to NAME, move them there, and take probes from "
                   "NAME's multicast group")
        ->check(sim::nonEmpty())
        ->type_name("NAME");
    addNumberOption(app, "--http-port", options.httpPort, uint16_t{1}, uint16_t{65535},
                    "HTTP port of the device service (default 80)");
    app.add_option("--user", options.user, "login the cameras accept (default admin)")
        ->check(sim::nonEmpty())
        ->type_name("NAME");
    app.add_option("--password", options.password, "its password (default admin)")
        ->type_name("TEXT");
    app.add_option("--name-prefix", options.namePrefix,
                   "camera names PREFIX-001, ... (default ONVIFSIM)")
        ->check(sim::nonEmpty())
        ->type_name("PREFIX");
    addNumberOption(app, "--clock-offset", options.clockOffsetSeconds, -3'000'000'000LL,
                    3'000'000'000LL, "the cameras' clock runs this far from real time")
        ->type_name("SECONDS");
    CLI::Option* typedOnly = app.add_flag_callback(
        "--typed-only", [&] { options.probeFilter = ProbeFilter::TypedOnly; },
        "answer only probes that list types");
    app.add_option("--answer-type", options.probeFilter, "answer only probes that list this type")
        ->transform(
            CLI::CheckedTransformer(std::map<std::string, ProbeFilter>{
                                        {"dn", ProbeFilter::OnlyDn}, {"tds", ProbeFilter::OnlyTds}})
                .description(""))
        ->type_name("dn|tds")
        ->excludes(typedOnly);
    app.add_flag("--extra-xaddrs", options.extraXAddrs,
                 "advertise IPv6 link-local and 169.254 XAddrs first");
    app.add_flag("--reboot-needed", options.rebootNeeded,
                 "a new address waits for SystemReboot (RebootNeeded)");
    addNumberOption(app, "--ignoring", options.ignoringDevices, 0, maximumDevices,
                    "the first N cameras accept changes and keep settings");
    app.add_flag("--wsdp-host", options.wsdpHost,
                 "one more answerer: a computer (wsdp:Device, no scopes)");
    app.add_flag("--mac-endpoints", options.macEndpoints,
                 "version-1 UUID EndpointReferences, the MAC as node");
    addNumberOption(app, "--match-delay", options.matchDelayMs, 0, 10'000,
                    "each camera answers a probe after a random wait of up to MS ms "
                    "(WS-Discovery devices wait up to 500)")
        ->type_name("MS");
    app.add_flag("--quiet", options.quiet, "no line per probe");
}

} // namespace tavolix::onvifsim

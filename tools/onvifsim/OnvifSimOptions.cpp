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
    app.add_flag("--quiet", options.quiet, "no line per probe or accepted login");
    app.add_option("--auth", options.auth,
                   "the login calls need: wsse (UsernameToken, default), digest-md5, "
                   "digest-sha256, either (Digest or UsernameToken), none")
        ->transform(CLI::CheckedTransformer(
                        std::map<std::string, AuthMode>{{"wsse", AuthMode::Wsse},
                                                        {"digest-md5", AuthMode::DigestMd5},
                                                        {"digest-sha256", AuthMode::DigestSha256},
                                                        {"either", AuthMode::Either},
                                                        {"none", AuthMode::None}})
                        .description(""))
        ->type_name("MODE");
    app.add_option("--challenge-style", options.challengeStyle,
                   "--auth either: two WWW-Authenticate headers (separate, default) or one "
                   "(joined)")
        ->transform(CLI::CheckedTransformer(std::map<std::string, ChallengeStyle>{
                                                {"separate", ChallengeStyle::Separate},
                                                {"joined", ChallengeStyle::Joined}})
                        .description(""))
        ->type_name("separate|joined");
    addNumberOption(app, "--stale-after", options.staleAfter, 0, 1'000'000,
                    "a Digest nonce serves N requests, then 401 stale=true (default 0: for ever)");
    app.add_flag("--clock-needs-login", options.clockNeedsLogin,
                 "GetSystemDateAndTime needs the login too");
    app.add_flag("--local-time-as-utc", options.localTimeAsUtc,
                 "the clock is 8 hours east and reports local time as UTC (tokens checked "
                 "against it)");
    app.add_flag("--https", options.https,
                 "serve the device service over TLS too, with a certificate made at start");
    addNumberOption(app, "--https-port", options.httpsPort, uint16_t{1}, uint16_t{65535},
                    "HTTPS port (default 443)");
    app.add_option("--xaddr-scheme", options.xaddrScheme,
                   "XAddrs advertised: http (default), https (only; no plain HTTP), both (http "
                   "first); https and both imply --https")
        ->transform(CLI::CheckedTransformer(
                        std::map<std::string, XAddrScheme>{{"http", XAddrScheme::Http},
                                                           {"https", XAddrScheme::Https},
                                                           {"both", XAddrScheme::Both}})
                        .description(""))
        ->type_name("http|https|both");
    app.add_option("--xaddr-host", options.xaddrHost,
                   "XAddrs name HOST instead of the device's address (it still answers at its "
                   "own)")
        ->check(sim::nonEmpty())
        ->type_name("HOST");
    app.add_option("--endpoint-uuid", options.endpointUuid,
                   "every camera's EndpointReference is urn:uuid:UUID, as a cloned firmware's")
        ->check(sim::nonEmpty())
        ->type_name("UUID");
    addNumberOption(app, "--answer-delay", options.answerDelayMs, 0, 60'000,
                    "each HTTP answer goes out MS ms after its request")
        ->type_name("MS");
    app.add_flag("--never-answer", options.neverAnswer,
                 "take HTTP connections and requests, and never answer them");
    addNumberOption(app, "--trickle", options.trickleBytes, 0, 65536,
                    "send each HTTP answer N bytes at a time, 20 ms apart (0: at once)")
        ->type_name("N");
    app.add_flag("--port-stays", options.portStays,
                 "the device service stays on its old port after SetNetworkProtocols, which "
                 "still reports the new one");
    app.add_flag("--refuse-interfaces", options.refuseInterfaces,
                 "refuse SetNetworkInterfaces with a fault (the gateway and others are taken)");
    addNumberOption(app, "--clock-jump", options.clockJumpSeconds, -3'000'000'000LL,
                    3'000'000'000LL,
                    "the cameras' clock jumps this far when the first Set call comes in, "
                    "before its login is checked")
        ->type_name("SECONDS");
    app.add_flag("--nonce-once", options.nonceOnce,
                 "a UsernameToken nonce is taken once; a repeated one is refused");
    addNumberOption(app, "--oversized", options.oversizedDevices, 0, maximumDevices,
                    "the first N cameras follow their GetDeviceInformation answer with blanks "
                    "until the client hangs up (64 MiB at most)");
    app.add_flag("--split-http-entry", options.splitHttpEntry,
                 "GetNetworkProtocols lists an HTTP entry without ports before the serving one");
    addNumberOption(app, "--not-soap", options.notSoapStatus, 100u, 599u,
                    "answer every call with HTTP STATUS and an HTML page, as a proxy in the way")
        ->type_name("STATUS");
    app.add_flag("--not-soap-sets", options.notSoapSetsOnly,
                 "--not-soap only for the Set calls, once logged in");
    app.add_flag("--latin1-fault", options.latin1Faults,
                 "Set calls fault with a Reason in Latin-1 holding terminal escapes, raw and as "
                 "character references");
    app.add_flag("--answer-to-group", options.answerToGroup,
                 "answer a probe whose sender is not on the camera's subnet to "
                 "239.255.255.250:3702 instead of unicast");
}

} // namespace tavolix::onvifsim

#include "AddressJournal.h"
#include "CommandSupport.h"
#include "Commands.h"
#include "CommonOptions.h"
#include "Doctor.h"
#include "Ports.h"
#include "ProbeSocket.h"

#include <memory>
#include <sstream>

namespace tavolix::cli {
namespace {

struct DoctorOptions
{
    std::vector<std::string> interfaces;
    ProtocolChoice protocols = ProtocolChoice::All;
    onvif::TlsCheck tls = onvif::TlsCheck::Skip;
};

// The doctor's last check: one search as `search` makes it (without a login),
// counted per interface and per protocol.
doctor::SearchProbeResult searchProbe(const DoctorOptions& options)
{
    doctor::SearchProbeResult result;
    const auto protocol =
        openProtocol(options.interfaces, options.protocols, std::nullopt, options.tls);
    if (!protocol) {
        result.failure = protocol.failure().message;
        return result;
    }
    const auto found = searchOnce(**protocol, searchListening);
    if (!found) {
        result.failure = found.failure().message;
        return result;
    }
    result.listened = searchListening;
    for (const Device& device : *found) {
        ++result.devices;
        ++result.devicesPerInterface[device.interfaceName];
        ++result.devicesPerProtocol[std::string(protocolsName(device.protocols))];
        if (!device.onLink)
            ++(speaks(device, Protocols::Native) ? result.foreignNative : result.foreignOnvif);
    }
    return result;
}

// Addresses that runs of tavolixctl --adopt which were killed still hold: named, not
// removed (the next --adopt run removes them).
doctor::DoctorCheck leftAddresses()
{
    doctor::DoctorCheck check{"temporary addresses", doctor::Verdict::Pass,
                              "none left by a killed tavolixctl --adopt"};
    const std::string directory = adopt::AddressJournal::directory();
    auto netlink = adopt::NetlinkAddresses::open();
    auto held =
        netlink ? netlink->list() : Result<std::vector<adopt::HostAddress>>(netlink.failure());
    if (!held) {
        check.verdict = doctor::Verdict::Unknown;
        check.detail = "cannot list the host's addresses: " + held.failure().message;
        return check;
    }
    std::string left;
    for (const adopt::RunJournal& journal : adopt::readRunJournals(directory)) {
        if (!journal.ended)
            continue;
        for (const adopt::JournalEntry& entry : adopt::stillHeld(journal, *held))
            left += (left.empty() ? "" : ", ") + ipv4Text(entry.address.address) + "/" +
                    std::to_string(entry.address.prefix) + " on " + entry.interfaceName + " (" +
                    journal.path + ")";
    }
    if (!left.empty()) {
        check.verdict = doctor::Verdict::Fail;
        check.detail = "still held after their run was killed: " + left +
                       "; the next tavolixctl --adopt removes them";
    }
    return check;
}

Result<ExitCode> runDoctor(const DoctorOptions& options)
{
    doctor::DoctorOptions checkOptions;
    checkOptions.interfaces = options.interfaces;
    checkOptions.native = options.protocols != ProtocolChoice::Onvif;
    checkOptions.localPort = searchPort;
    checkOptions.devicePort = devicePort;
    if (options.protocols != ProtocolChoice::Native)
        checkOptions.probes = doctor::ProbeOptions{onvif::discoveryGroup, onvif::discoveryPort,
                                                   onvif::probeAnswerPort};
    auto checks =
        doctor::runDoctorChecks(checkOptions, [&options] { return searchProbe(options); });
    if (options.protocols != ProtocolChoice::Native)
        checks.push_back(leftAddresses());
    std::ostringstream text;
    doctor::printDoctorChecks(text, checks);
    if (auto written = writeOut(text.str()); !written)
        return written.failure();
    return static_cast<ExitCode>(doctor::doctorExitCode(checks));
}

} // namespace

void setupDoctor(CLI::App& program, int& exitCode)
{
    auto options = std::make_shared<DoctorOptions>();
    CLI::App* command = program.add_subcommand(
        "doctor", "check interfaces, the probes' multicast route, the local ports, the packet "
                  "filter and reverse-path filtering, then search once; one line per check "
                  "with its verdict");
    addInterfaceOption(*command, options->interfaces);
    addProtocolOption(*command, options->protocols);
    addTlsVerifyOption(*command, options->tls);
    command->footer("Exit codes: 0 every check passed (a check that could not tell does not\n"
                    "fail), 1 one failed, 2 usage error.\n");
    command->callback([options, &exitCode] { exitCode = cli::exitCode(runDoctor(*options)); });
}

} // namespace tavolix::cli

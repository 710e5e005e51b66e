#include "Doctor.h"

#include "InterfaceStates.h"
#include "MulticastRoute.h"
#include "PacketFilterCheck.h"
#include "PortHolder.h"
#include "TextEscape.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace tavolix::doctor {
namespace {

std::vector<DoctorCheck> checkInterfaces(const DoctorOptions& options,
                                         const std::vector<LocalInterface>& interfaces)
{
    std::vector<DoctorCheck> checks;
    for (const LocalInterface& local : interfaces) {
        DoctorCheck check{"interface " + local.name, Verdict::Fail, local.address};
        if (!local.up) {
            check.detail += " is down: a search does not use it";
        } else if (!local.running) {
            check.detail += " is up but has no link (cable, or the other end is down)";
        } else if (!local.broadcast) {
            // A point-to-point link (a VPN, say) is no segment to search
            // unless it was asked for.
            check.detail += " cannot broadcast (point-to-point): a search does not use it";
            if (options.interfaces.empty())
                check.verdict = Verdict::Unknown;
        } else {
            check = {check.name, Verdict::Pass, local.address + ", up, can broadcast"};
        }
        checks.push_back(std::move(check));
    }
    for (const std::string& named : options.interfaces) {
        const bool listed = std::any_of(interfaces.begin(), interfaces.end(),
                                        [&](const LocalInterface& i) { return i.name == named; });
        if (!listed)
            checks.push_back(
                {"interface " + named, Verdict::Fail, "does not exist or has no IPv4 address"});
    }
    if (checks.empty())
        checks.push_back(
            {"interfaces", Verdict::Fail, "no IPv4 interface besides loopback: nothing to search"});
    return checks;
}

DoctorCheck checkPort(uint16_t port)
{
    DoctorCheck check{"port " + std::to_string(port), Verdict::Fail, {}};
    const int error = tryBindUdp(port);
    if (error == 0) {
        check.verdict = Verdict::Pass;
        check.detail = "UDP " + std::to_string(port) + " can be bound";
        return check;
    }
    check.detail = "UDP " + std::to_string(port) + " cannot be bound: " + std::strerror(error);
    if (error != EADDRINUSE)
        return check;
    const auto holder = findUdpPortHolder(port);
    if (!holder)
        check.detail += "; no socket holding it was found";
    else if (!holder->pid)
        check.detail += "; held by socket inode " + std::to_string(holder->inode) +
                        " of a process that cannot be seen (another user's? try as root)";
    else
        check.detail += "; held by " + holder->command + " (pid " + std::to_string(*holder->pid) +
                        ")" + (holder->command == "tavolix" ? ": close the Tavolix window" : "");
    return check;
}

// The value of net.ipv4.conf.NAME.rp_filter; -1 when it cannot be read.
int reversePathSetting(const std::string& name)
{
    std::ifstream file("/proc/sys/net/ipv4/conf/" + name + "/rp_filter");
    int value = -1;
    file >> value;
    return file ? value : -1;
}

// The kernel applies the larger of "all" and the interface's own value.
DoctorCheck checkReversePath(const std::vector<LocalInterface>& interfaces)
{
    DoctorCheck check{"reverse-path filter", Verdict::Pass, {}};
    const int all = reversePathSetting("all");
    std::vector<std::string> strict;
    std::vector<std::string> unreadable;
    for (const LocalInterface& local : interfaces) {
        if (!local.usable())
            continue;
        const int own = reversePathSetting(local.name);
        if (own < 0 || all < 0)
            unreadable.push_back(local.name);
        else if (std::max(all, own) == 1)
            strict.push_back(local.name);
    }
    auto list = [](const std::vector<std::string>& names) {
        std::string text;
        for (const std::string& name : names)
            text += (text.empty() ? "" : ", ") + name;
        return text;
    };
    if (!strict.empty()) {
        check.verdict = Verdict::Fail;
        check.detail = "strict (rp_filter=1) on " + list(strict) +
                       ": replies from devices on a foreign subnet are dropped; "
                       "loose mode (2) lets them in";
    } else if (!unreadable.empty()) {
        check.verdict = Verdict::Unknown;
        check.detail = "could not read rp_filter of " + list(unreadable);
    } else {
        check.detail = "no interface filters strictly";
    }
    return check;
}

DoctorCheck checkSearch(const SearchProbe& probe, bool portFree)
{
    DoctorCheck check{"search", Verdict::Unknown, {}};
    if (!portFree) {
        check.detail = "not run: the local port is not free";
        return check;
    }
    if (!probe) {
        check.detail = "not run";
        return check;
    }
    const SearchProbeResult result = probe();
    if (result.failure) {
        check.detail = "could not search: " + *result.failure;
        return check;
    }
    const std::string listened = " in " + std::to_string(result.listened.count()) + " ms";
    if (result.devices == 0) {
        check.verdict = Verdict::Fail;
        check.detail = "no device answered" + listened;
        return check;
    }
    check.verdict = Verdict::Pass;
    check.detail = std::to_string(result.devices) +
                   (result.devices == 1 ? " device answered" : " devices answered") + listened;
    // "2 native, 1 onvif; 3 on eth0"
    const auto counted = [](const std::map<std::string, int>& counts, const char* joiner) {
        std::string text;
        for (const auto& [name, count] : counts)
            text += (text.empty() ? "" : ", ") + std::to_string(count) + joiner + name;
        return text;
    };
    std::string split = counted(result.devicesPerProtocol, " ");
    const std::string perInterface = counted(result.devicesPerInterface, " on ");
    if (!perInterface.empty())
        split += (split.empty() ? "" : "; ") + perInterface;
    if (!split.empty())
        split = ": " + split;
    check.detail += split;
    // "; from subnets this host is not on: 1 native, reached by MAC; 2 ONVIF, which need ..."
    if (result.foreignNative + result.foreignOnvif > 0)
        check.detail += "; from subnets this host is not on:";
    if (result.foreignNative > 0)
        check.detail += " " + std::to_string(result.foreignNative) + " native, reached by MAC";
    if (result.foreignOnvif > 0)
        check.detail += std::string(result.foreignNative > 0 ? ";" : "") + " " +
                        std::to_string(result.foreignOnvif) +
                        (result.foreignOnvif == 1 ? " ONVIF, which needs" : " ONVIF, which need") +
                        " --adopt (as root)";
    return check;
}

const char* verdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass:
        return "PASS";
    case Verdict::Fail:
        return "FAIL";
    case Verdict::Unknown:
        break;
    }
    return "????";
}

} // namespace

std::vector<DoctorCheck> runDoctorChecks(const DoctorOptions& options, const SearchProbe& probe)
{
    const std::vector<LocalInterface> interfaces = listIpv4Interfaces(options.interfaces);
    std::vector<DoctorCheck> checks = checkInterfaces(options, interfaces);
    if (options.probes)
        checks.push_back(checkMulticastRoute(*options.probes, interfaces));
    std::vector<uint16_t> ports;
    if (options.native)
        ports.push_back(options.localPort);
    if (options.probes)
        ports.push_back(options.probes->answerPort);
    bool portsFree = true;
    for (const uint16_t port : ports) {
        checks.push_back(checkPort(port));
        portsFree = portsFree && checks.back().verdict == Verdict::Pass;
    }
    checks.push_back(checkPacketFilter(options, interfaces));
    checks.push_back(checkReversePath(interfaces));
    checks.push_back(checkSearch(probe, portsFree));
    return checks;
}

void printDoctorChecks(std::ostream& out, const std::vector<DoctorCheck>& checks)
{
    // Interface and process names are chosen by whoever made them; a name must
    // not move the terminal's cursor, change its colours or reorder the line.
    using cli::displayWidth;
    using cli::escapeDeviceText;
    std::size_t width = 0;
    for (const DoctorCheck& check : checks)
        width = std::max(width, displayWidth(escapeDeviceText(check.name)));
    for (const DoctorCheck& check : checks) {
        const std::string name = escapeDeviceText(check.name);
        out << verdictText(check.verdict) << "  " << name
            << std::string(width - displayWidth(name), ' ') << "  "
            << escapeDeviceText(check.detail) << '\n';
    }
}

int doctorExitCode(const std::vector<DoctorCheck>& checks)
{
    const bool failed = std::any_of(checks.begin(), checks.end(), [](const DoctorCheck& check) {
        return check.verdict == Verdict::Fail;
    });
    return failed ? 1 : 0;
}

} // namespace tavolix::doctor

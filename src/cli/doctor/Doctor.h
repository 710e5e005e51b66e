#pragma once

#include "Ports.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tavolix::doctor {

enum class Verdict
{
    Pass,
    Fail,
    Unknown, // the check could not tell
};

struct DoctorCheck
{
    std::string name; // "interface eth0", "port 3566", "packet filter", ...
    Verdict verdict = Verdict::Unknown;
    std::string detail;
};

// ONVIF's WS-Discovery: probes go to the group and port out of each
// interface, and the devices answer from that port, unicast, to the local
// answer port the probes left from.
struct ProbeOptions
{
    uint32_t group = 0; // host byte order
    uint16_t discoveryPort = 0;
    uint16_t answerPort = 0;
};

struct DoctorOptions
{
    std::vector<std::string> interfaces; // only these; empty: every interface
    bool native = true;                  // our own search: its port and its replies
    uint16_t localPort = searchPort;
    uint16_t devicePort = tavolix::devicePort;
    std::optional<ProbeOptions> probes; // nothing: ONVIF devices are not searched
};

// What one search found, as the caller's search reports it.
struct SearchProbeResult
{
    std::optional<std::string> failure; // the search could not run, and why
    int devices = 0;                    // distinct devices that answered
    std::map<std::string, int> devicesPerInterface;
    std::map<std::string, int> devicesPerProtocol; // "native", "onvif", "native+onvif"
    // Devices answering from subnets this host is not on: those of ours (reached by MAC), and
    // those ONVIF alone reaches (only through --adopt).
    int foreignNative = 0;
    int foreignOnvif = 0;
    std::chrono::milliseconds listened{0};
};

// Runs one search (from the local ports, out of the interfaces the options
// name) and reports what answered. Called after the port checks, once, and
// only when every checked port could be bound.
using SearchProbe = std::function<SearchProbeResult()>;

// The checks in the order they are printed: one line per IPv4 interface,
// the multicast route of the probes (when ONVIF is searched), the local
// ports, the packet filter, reverse-path filtering and the search.
std::vector<DoctorCheck> runDoctorChecks(const DoctorOptions& options, const SearchProbe& probe);

// One line per check: the verdict, the check's name and its detail. Texts
// that come from outside (interface and process names) are printed with
// control characters escaped.
void printDoctorChecks(std::ostream& out, const std::vector<DoctorCheck>& checks);

// 0 when no check failed, 1 when one did. A check that could not tell does
// not fail: without root the packet filter cannot be read at all.
int doctorExitCode(const std::vector<DoctorCheck>& checks);

} // namespace tavolix::doctor

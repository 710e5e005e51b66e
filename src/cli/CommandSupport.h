#pragma once

#include "CommonOptions.h"
#include "DeviceProtocol.h"
#include "ExitCode.h"
#include "Result.h"
#include "TemporaryAddresses.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tavolix::cli {

// How long a search listens, and how long set and apply verify, unless told.
inline constexpr std::chrono::milliseconds searchListening{1500};
inline constexpr std::chrono::milliseconds verifyTimeout{15000};
// How long a search with --adopt reads on past its listening at least: an
// adopted device's read waits for its address's ARP probes (a second).
inline constexpr std::chrono::milliseconds adoptedReading{3000};

// Data goes to standard output; a failed write (a full disk, a closed pipe)
// is a system failure, since the caller would take a cut listing for whole.
Result<> writeOut(std::string_view text);
// Everything else goes to standard error, each line starting "tavolixctl: " and
// escaped by the one escaper: a device's text inside never reaches the terminal raw.
void complain(std::string_view text);
// One line of a device's or a library's making: a line break in it is escaped too.
void complainLine(std::string_view line);

// The one boundary for exceptions (no memory, a library's own): one becomes a
// system failure with what it said. Once a change was sent, its report is
// still written.
Result<> runCaught(const std::function<void()>& work);

// The exit code of a command's result, after saying why it failed.
int exitCode(const Result<ExitCode>& result);

// ONVIF sets no limit; this one keeps a login a sane size.
inline constexpr std::size_t maxLoginBytes = 256;

// The login for a configuration: the user as given, the password from its
// source, both 1 to maxLoginBytes bytes.
Result<Login> readLogin(const std::string& user, const std::string& passwordFile);

// The protocols chosen, as one, ready on the named interfaces. With a login,
// ONVIF devices are read through it; without, they list what their answer
// to the probe says. With an adoption, ONVIF devices on subnets the host is
// not on are reached through its temporary addresses. The one place that
// names the protocols.
Result<std::unique_ptr<DeviceProtocol>> openProtocol(
    const std::vector<std::string>& interfaces, ProtocolChoice choice = ProtocolChoice::Native,
    const std::optional<Login>& login = std::nullopt, onvif::TlsCheck tls = onvif::TlsCheck::Skip,
    std::unique_ptr<adopt::TemporaryAddresses> adoption = nullptr);

// The login when --user is given; nothing when it is not, unless required
// (then refused as readLogin refuses a missing user).
Result<std::optional<Login>> readOptionalLogin(const LoginOptions& options, bool required = false);

// One search: sends it and takes replies for `listening`, or until the
// handler, called with each device's latest row, returns true. Devices that
// answered within `listening` are read on until `reading` (from the start)
// has passed, when that is longer: a slow device is then read in full.
Result<std::vector<Device>> searchOnce(DeviceProtocol& protocol,
                                       std::chrono::milliseconds listening,
                                       const std::function<bool(const Device&)>& handler = {},
                                       std::chrono::milliseconds reading = {});

// Where and how a command finds its devices, as its options say.
struct DeviceSearch
{
    std::vector<std::string> interfaces;
    ProtocolChoice protocols = ProtocolChoice::All;
    LoginOptions login;
    onvif::TlsCheck tls = onvif::TlsCheck::Skip;
    int listeningMs = static_cast<int>(searchListening.count());
    int readingMs = 0;  // set and apply: their --timeout, for reads begun within listeningMs
    bool adopt = false; // ONVIF devices on foreign subnets reached through temporary addresses
};

// The command's devices: the login read, the protocols open, one search made.
// When it goes, so do the temporary addresses the protocol added; its notes
// of them are then said.
struct SearchedDevices
{
    SearchedDevices() = default;
    SearchedDevices(SearchedDevices&&) = default;
    SearchedDevices& operator=(SearchedDevices&&) = default;
    ~SearchedDevices();

    std::optional<Login> login;
    std::unique_ptr<DeviceProtocol> protocol;
    std::vector<Device> found;
};

// The step every command begins with: the login (refused when required and
// not given), with --adopt the temporary addresses made ready (a System
// failure without CAP_NET_ADMIN, before anything is sent; what killed runs
// left is removed and said), the protocols opened on the interfaces, one search.
Result<SearchedDevices> searchDevices(const DeviceSearch& search, bool loginRequired,
                                      const std::function<bool(const Device&)>& handler = {});

} // namespace tavolix::cli

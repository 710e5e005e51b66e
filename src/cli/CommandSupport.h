#pragma once

#include "CommonOptions.h"
#include "DeviceProtocol.h"
#include "ExitCode.h"
#include "Result.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tavolix::cli {

inline constexpr std::chrono::milliseconds searchListening{1500};

// Data goes to standard output; a failed write (a full disk, a closed pipe)
// is a system failure, since the caller would take a cut listing for whole.
Result<> writeOut(std::string_view text);
// Everything else goes to standard error, each line starting "tavolixctl: ".
void complain(std::string_view text);

// The exit code of a command's result, after saying why it failed.
int exitCode(const Result<ExitCode>& result);

// ONVIF sets no limit; this one keeps a login a sane size.
inline constexpr std::size_t maxLoginBytes = 256;

// The login for a configuration: the user as given, the password from its
// source, both 1 to maxLoginBytes bytes.
Result<Login> readLogin(const std::string& user, const std::string& passwordFile);

// Refused when the login is longer than the native request carries
// (loginFieldSize bytes each); checked before a native device is changed.
Result<> fitsNativeLogin(const Login& login);

// The protocols chosen, as one, ready on the named interfaces. With a login,
// ONVIF devices are read through it; without, they list what their answer
// to the probe says.
Result<std::unique_ptr<DeviceProtocol>>
openProtocol(const std::vector<std::string>& interfaces,
             ProtocolChoice choice = ProtocolChoice::Native,
             const std::optional<Login>& login = std::nullopt);

// The login when --user is given; nothing when it is not.
Result<std::optional<Login>> readOptionalLogin(const LoginOptions& options);

// One search: sends it and takes replies for `listening`, or until the
// handler, called with each device's latest row, returns true.
Result<std::vector<Device>> searchOnce(DeviceProtocol& protocol,
                                       std::chrono::milliseconds listening,
                                       const std::function<bool(const Device&)>& handler = {});

} // namespace tavolix::cli

#pragma once

#include "DeviceRequest.h"
#include "Result.h"
#include "SearchSession.h"

#include <chrono>
#include <functional>
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

// The login for a configuration: the user as given, the password from its
// source. Both at most loginFieldSize bytes, as the request carries them.
Result<Login> readLogin(const std::string& user, const std::string& passwordFile);

// One search: sends it and takes replies for `listening`, or until the
// handler, called with each merged reply, returns true.
Result<std::vector<FoundDevice>>
searchOnce(SearchSession& session, std::chrono::milliseconds listening,
           const std::function<bool(const FoundDevice&)>& handler = {});

// The configuration request for a device, as the composer makes it.
Result<RequestBuffer> configurationRequest(const DeviceRecord& device, const SettingValues& asked,
                                           const Login& login, LegacyCodePage page);

} // namespace tavolix::cli

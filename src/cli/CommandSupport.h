#pragma once

#include "ExitCode.h"
#include "DeviceRequest.h"
#include "SearchSession.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavolix::cli {

inline constexpr std::chrono::milliseconds searchListening{1500};

// Data goes to standard output; everything else to standard error, each line
// starting with "tavolixctl: ".
void writeOut(std::string_view text);
void complain(std::string_view text);

// The login for a configuration: the user as given, the password from its
// source. Both at most 16 bytes, as the request carries them. Nothing after
// a complaint when either is missing or too long.
std::optional<Login> readLogin(const std::string& user, const std::string& passwordFile);

// Opens the session, complaining when it cannot; then the exit code is in code.
bool openSession(SearchSession& session, const std::vector<std::string>& interfaces,
                 ExitCode& code);

// One search: sends it and takes replies for `listening`, or until the
// handler, called with each merged reply, returns true. Nothing, after a
// complaint, when the search could not be sent at all.
std::optional<std::vector<FoundDevice>>
searchOnce(SearchSession& session, std::chrono::milliseconds listening,
           const std::function<bool(const FoundDevice&)>& handler = {});

} // namespace tavolix::cli

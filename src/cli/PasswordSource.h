#pragma once

#include <optional>
#include <string>

namespace tavolix::cli {

// The login password never comes from the command line, where every user
// could read it: it comes from a file ("-" for standard input), else from the
// environment variable TAVOLIX_PASSWORD, else, on a terminal, from a prompt
// that does not echo. Nothing, with the reason in problem, when none gives one.
std::optional<std::string> readPassword(const std::string& passwordFile, const std::string& user,
                                        std::string& problem);

} // namespace tavolix::cli

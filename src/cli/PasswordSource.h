#pragma once

#include "Result.h"
#include "SecretText.h"

#include <string>

namespace tavolix::cli {

// The login password never comes from the command line, where every user
// could read it: it comes from a file ("-" for standard input), else from the
// environment variable TAVOLIX_PASSWORD, else, on a terminal, from a prompt
// that does not echo.
Result<SecretText> readPassword(const std::string& passwordFile, const std::string& user);

} // namespace tavolix::cli

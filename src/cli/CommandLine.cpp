#include "CommandLine.h"

#include "CommandSupport.h"
#include "Commands.h"
#include "ExitCode.h"
#include "JsonSchema.h"

#include <CLI/CLI.hpp>
#include <string>

namespace tavolix::cli {
namespace {

constexpr const char* exitCodeHelp =
    "Exit codes:\n"
    "  0  success (search: at least one device found)\n"
    "  1  nothing found, some device not verified, needing a reboot or failed, or\n"
    "     an ONVIF device not read in full\n"
    "  2  usage error, a refused value or change, or an invalid plan (nothing sent)\n"
    "  3  system error: no usable interface, UDP port 3566 or 3567 in use (is a\n"
    "     Tavolix window open?), no permission, or output that cannot be written\n"
    "\n"
    "The login password never goes on the command line: it is read from\n"
    "--password-file FILE (- for standard input), else from the environment variable\n"
    "TAVOLIX_PASSWORD, else asked for on the terminal without echo.\n"
    "\n"
    "Texts from devices never reach the output raw: a backslash is written \\\\, control\n"
    "characters and bytes that are not UTF-8 as \\xHH. In CSV a cell that starts with\n"
    "= + - @ or ' gets a leading '. A plan read by apply undoes both, so a listing\n"
    "from search --format csv is a plan that changes nothing.\n";

} // namespace

int runCommandLine(int argc, char** argv)
{
    CLI::App program{"tavolixctl: find network cameras and recorders on the local network "
                     "segment, and change their network settings with verification."};
    // Sub-commands take the footer over when they are added.
    program.footer(exitCodeHelp);
    // The second line lets a script check that it reads the JSON it was written for.
    program.set_version_flag("--version", "tavolixctl " TAVOLIX_VERSION "\njson-schema " +
                                              std::to_string(jsonSchema));
    program.require_subcommand(1, 1);
    int exitCode = ExitSuccess;
    setupSearch(program, exitCode);
    setupSet(program, exitCode);
    setupPlan(program, exitCode);
    setupApply(program, exitCode);
    setupDoctor(program, exitCode);
    // The commands run inside parse(): whatever they throw ends here, said.
    int code = ExitSuccess;
    const Result<> ran = runCaught([&] {
        try {
            program.parse(argc, argv);
            code = exitCode;
        } catch (const CLI::ParseError& error) {
            code = program.exit(error) == 0 ? ExitSuccess : ExitRefused;
        }
    });
    return ran ? code : cli::exitCode(ran.failure());
}

} // namespace tavolix::cli

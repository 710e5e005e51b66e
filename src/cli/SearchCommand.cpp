#include "CommandSupport.h"
#include "Commands.h"

#include <unistd.h>

namespace tavolix::cli {

int runSearch(const SearchCommand& command)
{
    SearchSession session;
    ExitCode code = ExitSuccess;
    if (!openSession(session, command.interfaces, code))
        return code;
    const std::chrono::milliseconds listening{command.timeoutMs};
    const auto devices = searchOnce(session, listening);
    if (!devices)
        return ExitSystem;
    const OutputFormat format = command.format.value_or(
        ::isatty(STDOUT_FILENO) != 0 ? OutputFormat::Table : OutputFormat::Csv);
    writeOut(formatListing(format, *devices));
    if (devices->empty()) {
        complain(session.silenceReport(listening));
        return ExitIncomplete;
    }
    return ExitSuccess;
}

} // namespace tavolix::cli

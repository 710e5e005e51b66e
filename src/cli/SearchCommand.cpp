#include "CommandSupport.h"
#include "Commands.h"
#include "CommonOptions.h"
#include "DeviceListing.h"
#include "TextEscape.h"

#include <memory>
#include <unistd.h>

namespace tavolix::cli {
namespace {

struct SearchOptions
{
    DeviceSearch search;
    OutputFormat format = OutputFormat::Table;
    CLI::Option* formatOption = nullptr; // not given: table on a terminal, else CSV
};

Result<ExitCode> runSearch(const SearchOptions& options)
{
    const auto searched = searchDevices(options.search, false);
    if (!searched)
        return searched.failure();
    const auto& protocol = searched->protocol;
    const std::vector<Device>* devices = &searched->found;
    const bool formatGiven = options.formatOption->count() > 0;
    const OutputFormat format =
        formatGiven || ::isatty(STDOUT_FILENO) != 0 ? options.format : OutputFormat::Csv;
    if (auto written = writeOut(formatListing(format, *devices)); !written)
        return written.failure();
    if (devices->empty()) {
        complain(protocol->silenceReport(std::chrono::milliseconds(options.search.listeningMs)));
        return ExitIncomplete;
    }
    const auto problems = protocol->problems();
    for (const std::string& problem : problems)
        complain(escapeDeviceText(problem));
    return problems.empty() ? ExitSuccess : ExitIncomplete;
}

} // namespace

void setupSearch(CLI::App& program, int& exitCode)
{
    auto options = std::make_shared<SearchOptions>();
    CLI::App* command = program.add_subcommand(
        "search", "list the devices that answer a search, one per row, sorted by IP address");
    addInterfaceOption(*command, options->search.interfaces);
    addProtocolOption(*command, options->search.protocols);
    addLoginOptions(*command, options->search.login);
    addTimeoutOption(*command, options->search.listeningMs, "how long to listen for replies (ms)");
    options->formatOption =
        addChoiceOption(*command, "--format", options->format,
                        Choices<OutputFormat>{{"table", OutputFormat::Table},
                                              {"json", OutputFormat::Json},
                                              {"csv", OutputFormat::Csv}},
                        "table, json or csv; default: table on a terminal, CSV otherwise");
    command->callback([options, &exitCode] { exitCode = cli::exitCode(runSearch(*options)); });
}

} // namespace tavolix::cli

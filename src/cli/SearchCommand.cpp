#include "CommandSupport.h"
#include "Commands.h"
#include "CommonOptions.h"
#include "DeviceListing.h"

#include <memory>
#include <sys/ioctl.h>
#include <unistd.h>

namespace tavolix::cli {
namespace {

struct SearchOptions
{
    DeviceSearch search;
    OutputFormat format = OutputFormat::Table;
    CLI::Option* formatOption = nullptr; // not given: table on a terminal, else CSV
    std::string columns;
    CLI::Option* columnsOption = nullptr;
    bool wide = false;
};

// --columns and --wide ask for a table, also into a pipe. CSV and JSON
// always hold every column, as scripts read them: a choice of columns there
// is refused rather than silently not made.
Result<TableLayout> tableLayout(const SearchOptions& options)
{
    const bool chosen = options.columnsOption->count() > 0;
    const bool shaped = chosen || options.wide;
    if (shaped && options.formatOption->count() > 0 && options.format != OutputFormat::Table)
        return refused("--columns and --wide shape the table only; CSV and JSON always hold "
                       "every column");
    TableLayout layout;
    layout.wide = options.wide;
    if (winsize terminal{};
        ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &terminal) == 0 && terminal.ws_col > 0)
        layout.terminalWidth = terminal.ws_col;
    if (chosen) {
        auto columns = parseTableColumns(options.columns);
        if (!columns)
            return columns.failure();
        layout.chosen = std::move(*columns);
    }
    return layout;
}

Result<ExitCode> runSearch(const SearchOptions& options)
{
    const auto layout = tableLayout(options);
    if (!layout)
        return layout.failure();
    const auto searched = searchDevices(options.search, false);
    if (!searched)
        return searched.failure();
    const auto& protocol = searched->protocol;
    const std::vector<Device>* devices = &searched->found;
    // Into a pipe CSV, unless a format or the table's columns were asked for.
    const bool keepFormat = options.formatOption->count() > 0 || !layout->chosen.empty() ||
                            layout->wide || ::isatty(STDOUT_FILENO) != 0;
    const OutputFormat format = keepFormat ? options.format : OutputFormat::Csv;
    if (auto written = writeOut(formatListing(format, *devices, *layout)); !written)
        return written.failure();
    if (devices->empty()) {
        complain(protocol->silenceReport(std::chrono::milliseconds(options.search.listeningMs)));
        return ExitIncomplete;
    }
    const auto problems = protocol->problems();
    for (const std::string& problem : problems)
        complainLine(problem);
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
    addTlsVerifyOption(*command, options->search.tls);
    addAdoptOption(*command, options->search.adopt);
    addTimeoutOption(*command, options->search.listeningMs, "how long to listen for replies (ms)");
    options->formatOption =
        addChoiceOption(*command, "--format", options->format,
                        Choices<OutputFormat>{{"table", OutputFormat::Table},
                                              {"json", OutputFormat::Json},
                                              {"csv", OutputFormat::Csv}},
                        "table, json or csv; default: table on a terminal or with --wide or "
                        "--columns, CSV otherwise");
    options->columnsOption =
        command
            ->add_option(
                "--columns", options->columns,
                "the table's columns, comma-separated, in this order, of: " +
                    commaJoined(tableColumns()) + "; default: those of " +
                    commaJoined(installerColumns()) +
                    " that hold something. Long texts are cut to fit the terminal, in at most " +
                    std::to_string(tableWidth) + " columns")
            ->type_name("LIST");
    command
        ->add_flag("--wide", options->wide,
                   "the table with every column that holds something, nothing cut")
        ->excludes(options->columnsOption);
    command->callback([options, &exitCode] { exitCode = cli::exitCode(runSearch(*options)); });
}

} // namespace tavolix::cli

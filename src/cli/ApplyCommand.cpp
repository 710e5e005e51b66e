#include "ApplyReport.h"
#include "CommandSupport.h"
#include "Commands.h"
#include "CommonOptions.h"
#include "DeviceListing.h"
#include "PlanCheck.h"
#include "PlanFile.h"
#include "Verification.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>

namespace tavolix::cli {
namespace {

struct ApplyOptions
{
    std::string planFile; // "-": standard input
    DeviceSearch search;
    bool dryRun = false;
    bool skipMissing = false; // rows no device answered for are skipped, not refused
    std::string host;         // set: only rows whose host column is empty or names it
    bool reboot = false;
    int timeoutMs = static_cast<int>(verifyTimeout.count());
    OutputFormat format = OutputFormat::Table;
    LegacyCodePage codePage = LegacyCodePage::Windows1252; // of names not in UTF-8
    CLI::Option* codePageOption = nullptr;                 // given or not
};

Result<std::string> readPlanText(const std::string& path)
{
    if (path == "-")
        return std::string(std::istreambuf_iterator<char>(std::cin), {});
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return refused(path + ": " + std::strerror(errno));
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The plan's rows in its order, each with its device and what it would
// change; refused with every problem when nothing may be sent. With
// --skip-missing a row whose MAC no device answered for is skipped, left out
// of the check and of the changes; a row whose device answered with its MAC
// but could not be read fails alone.
Result<std::vector<DeviceWork>> checkedWork(const ApplyOptions& options,
                                            const std::vector<PlanRow>& rows,
                                            const std::vector<Device>& found,
                                            const DeviceProtocol& devices,
                                            const ChangeOptions& change)
{
    std::vector<DeviceWork> work;
    std::vector<PlanRow> checked;
    std::string skippedRows;
    for (const PlanRow& row : rows) {
        DeviceWork& item = work.emplace_back();
        item.row = row;
        const auto unreadOwn = [&](const Device& d) { return !d.settingsRead && d.mac == row.mac; };
        if (const Device* device = findDevice(found, row.mac)) {
            item.device = *device;
        } else if (options.skipMissing && std::ranges::any_of(found, unreadOwn)) {
            item.device = *std::ranges::find_if(found, unreadOwn);
            item.result = Outcome::Failed;
            item.failure = "it answered, but could not be read";
            continue;
        } else if (options.skipMissing) {
            item.result = Outcome::Skipped;
            skippedRows += (skippedRows.empty() ? "row " : ", row ") + std::to_string(row.row) +
                           " (" + macToText(row.mac) + ")";
            continue;
        }
        checked.push_back(row);
    }
    const PlanVerdict verdict = checkPlan(checked, found, devices, change);
    for (const std::string& warning : verdict.warnings)
        complainLine("warning: " + warning);
    // A device that answered but could not be read (a refused login, ONVIF
    // without one) and told no MAC: a row skipped as missing may be it.
    const auto unread = devices.problems();
    const bool skipInDoubt =
        !skippedRows.empty() &&
        std::ranges::any_of(found, [](const Device& d) { return !d.settingsRead && !macKnown(d); });
    if (verdict.errors.empty() && !skipInDoubt) {
        if (options.skipMissing) {
            for (const std::string& problem : unread)
                complainLine("warning: " + problem);
        }
        // Every row that is neither skipped nor failed has its device and its checked settings.
        for (const PlanRow& sendable : verdict.rows) {
            const auto item = std::find_if(work.begin(), work.end(), [&](const DeviceWork& w) {
                return w.result == Outcome::Unchanged && w.row.mac == sendable.mac;
            });
            item->row = sendable;
            item->changes = differingSettings(item->device, sendable.asked);
        }
        return work;
    }
    // Devices that could not be read are the likelier cause than the plan:
    // said first, and the run counts as failed.
    for (const std::string& problem : unread)
        complainLine(problem);
    for (const std::string& error : verdict.errors)
        complainLine(error);
    std::string problems;
    if (skipInDoubt)
        problems += "would skip " + skippedRows +
                    ", but a skipped row may be one of the devices that answered unread" +
                    (unread.empty() ? " (a login they accept, --user, reads them)" : "") + "\n";
    if (!verdict.errors.empty())
        problems += std::to_string(verdict.errors.size()) + " problem(s) in the plan; ";
    return Failure{unread.empty() ? Cause::Refused : Cause::Incomplete,
                   problems + "nothing was sent"};
}

// Sends each row's change, takes what the devices answered, and verifies those that took it.
void sendAndVerify(const ApplyOptions& options, std::vector<DeviceWork>& work,
                   std::vector<VerificationTarget>& targets, DeviceProtocol& devices,
                   const ChangeOptions& change)
{
    for (DeviceWork& item : work) {
        if (item.changes.empty())
            continue;
        if (auto sent = devices.sendChange(item.device, item.row.asked, change); !sent) {
            item.failure = sent.failure().message;
            item.result = Outcome::Failed;
            continue;
        }
        item.sent = true;
        item.target = targets.size();
        targets.push_back({item.row.mac, item.row.asked, item.device});
        item.result = Outcome::NotVerified;
    }
    // What a device answered other than taking its change is not waited for.
    for (const ChangeOutcome& outcome : devices.finishChanges()) {
        const auto item = std::find_if(work.begin(), work.end(), [&](const DeviceWork& w) {
            return w.result == Outcome::NotVerified && w.row.mac == outcome.mac;
        });
        if (item == work.end())
            continue;
        const bool failed = outcome.state == ChangeOutcome::State::Failed;
        item->result = failed ? Outcome::Failed : Outcome::NeedsReboot;
        item->failure = failed ? outcome.message : "in effect only after a reboot (--reboot)";
        // A change taken in part leaves the device as no one asked: what it holds is read back.
        targets[item->target].wait = failed && outcome.someTaken
                                         ? VerificationTarget::Wait::ReadBack
                                         : VerificationTarget::Wait::Nothing;
    }
    verifyTogether(devices, targets, std::chrono::milliseconds(options.timeoutMs));
}

Result<ExitCode> runApply(const ApplyOptions& options)
{
    const bool loginRead = !options.dryRun || !options.search.login.user.empty();
    if (options.planFile == "-" && options.search.login.passwordFile == "-" && loginRead)
        return refused("the plan and the password cannot both come from standard input");
    const auto text = readPlanText(options.planFile);
    if (!text)
        return text.failure();
    auto rows = readPlan(*text);
    if (rows && !options.host.empty())
        rows = rowsForHost(std::move(*rows), options.host);
    if (!rows)
        return refused(rows.failure().message + "\nthe plan is refused; nothing was sent");
    // A dry run needs no login; without one, ONVIF devices are found but
    // not read, and a row naming one is refused by the plan check.
    DeviceSearch search = options.search;
    search.readingMs = options.timeoutMs;
    auto searched = searchDevices(search, !options.dryRun);
    if (!searched)
        return searched.failure();
    DeviceProtocol& devices = *searched->protocol;
    const std::vector<Device>& found = searched->found;
    if (found.empty())
        complain(devices.silenceReport(std::chrono::milliseconds(options.search.listeningMs)));
    const ChangeOptions change{searched->login,
                               options.codePageOption->count() > 0 ? std::optional(options.codePage)
                                                                   : std::nullopt,
                               options.reboot};
    auto checked = checkedWork(options, *rows, found, devices, change);
    if (!checked)
        return checked.failure();
    std::vector<DeviceWork>& work = *checked;
    if (options.dryRun) {
        if (auto written = writeOut(dryRunReport(work, options.format)); !written)
            return written.failure();
        return ExitSuccess;
    }

    std::vector<VerificationTarget> targets;
    // From the first change sent on, whatever fails, the report is written.
    const Result<> ran = runCaught([&] { sendAndVerify(options, work, targets, devices, change); });
    for (DeviceWork& item : work) {
        if (!ran && item.result == Outcome::Unchanged && !item.changes.empty()) {
            item.result = Outcome::Failed;
            item.failure = ran.failure().message; // it may have been sent
        }
    }
    bool allGood = true;
    for (DeviceWork& item : work) {
        if (item.result == Outcome::NotVerified && targets[item.target].verified)
            item.result = Outcome::Verified;
        allGood = allGood && (item.result == Outcome::Verified ||
                              item.result == Outcome::Unchanged || item.result == Outcome::Skipped);
    }
    if (auto written = writeOut(applyReport(work, targets, options.format)); !written)
        return written.failure();
    if (!ran)
        return ran.failure();
    if (!allGood)
        return incomplete("some devices were not verified or failed");
    return ExitSuccess;
}

} // namespace

void setupApply(CLI::App& program, int& exitCode)
{
    auto options = std::make_shared<ApplyOptions>();
    CLI::App* command = program.add_subcommand(
        "apply", "check a CSV plan against a search, send it, and verify every device");
    command->add_option("PLAN", options->planFile, "the plan, CSV with a mac column (- for stdin)")
        ->required();
    addLoginOptions(*command, options->search.login);
    addTlsVerifyOption(*command, options->search.tls);
    addProtocolOption(*command, options->search.protocols);
    addRebootOption(*command, options->reboot);
    command->add_flag("--dry-run", options->dryRun,
                      "print per device field: now -> planned (json with --format json), and send "
                      "nothing but the search");
    command->add_flag("--skip-missing", options->skipMissing,
                      "skip rows whose device did not answer, instead of refusing the plan (a "
                      "device that told its MAC but could not be read fails its row alone)");
    command->add_option("--host", options->host,
                        "apply only rows whose host column is empty or names NAME (a site plan "
                        "applied on each segment host)");
    addTimeoutOption(*command, options->timeoutMs,
                     "how long to verify (ms); also how long the first search reads on the "
                     "devices that answered within its 1500 ms");
    addInterfaceOption(*command, options->search.interfaces);
    addAdoptOption(*command, options->search.adopt);
    options->codePageOption = addCodePageOption(*command, options->codePage);
    addChoiceOption(
        *command, "--format", options->format,
        Choices<OutputFormat>{{"table", OutputFormat::Table}, {"json", OutputFormat::Json}},
        "report (and dry run) as table or json")
        ->default_str("table");
    command->callback([options, &exitCode] { exitCode = cli::exitCode(runApply(*options)); });
}

} // namespace tavolix::cli

#include "CommandSupport.h"
#include "Commands.h"
#include "CommonOptions.h"
#include "DeviceEncoding.h"
#include "DeviceListing.h"
#include "PlanCheck.h"
#include "PlanFile.h"
#include "TextEscape.h"
#include "TextTable.h"
#include "Verification.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

namespace tavolix::cli {
namespace {

// Devices take each broadcast request in turn; a short gap keeps a burst of
// them from overrunning a small device's receive queue.
constexpr std::chrono::milliseconds sendGap{5};

struct ApplyOptions
{
    std::string planFile; // "-": standard input
    LoginOptions login;
    ProtocolChoice protocols = ProtocolChoice::All;
    bool dryRun = false;
    bool reboot = false;
    int timeoutMs = 15000;
    std::vector<std::string> interfaces;
    OutputFormat format = OutputFormat::Table;
    LegacyCodePage codePage = LegacyCodePage::Windows1252; // of names not in UTF-8
    CLI::Option* codePageOption = nullptr;                 // given: ONVIF devices refuse it
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

enum class Outcome
{
    Unchanged,
    Verified,
    NotVerified,
    NeedsReboot, // taken, in effect only after a reboot: not verified
    Failed,
};

struct DeviceWork
{
    PlanRow row;
    Device device;
    std::vector<Setting> changes;
    Outcome result = Outcome::Unchanged;
    std::string failure;
    std::size_t target = 0; // index into the verification targets, when sent
};

std::string_view resultName(Outcome result)
{
    switch (result) {
    case Outcome::Verified:
        return "verified";
    case Outcome::NotVerified:
        return "not verified";
    case Outcome::NeedsReboot:
        return "needs reboot";
    case Outcome::Failed:
        return "failed";
    case Outcome::Unchanged:
        break;
    }
    return "unchanged";
}

std::string dryRunText(const std::vector<DeviceWork>& work)
{
    std::string text;
    for (const DeviceWork& item : work) {
        const std::string mac = macToText(item.device.mac);
        if (item.changes.empty())
            text += mac + ": no change\n";
        for (const Setting setting : item.changes) {
            text += mac + ": " + std::string(settingKey(setting)) + ": " +
                    escapeDeviceText(currentValue(item.device, setting)) + " -> " +
                    escapeDeviceText(item.row.asked.at(setting)) + "\n";
        }
    }
    return text;
}

std::string report(const std::vector<DeviceWork>& work,
                   const std::vector<VerificationTarget>& targets, OutputFormat format)
{
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    std::vector<std::vector<std::string>> rows;
    for (const DeviceWork& item : work) {
        const bool sent = item.result == Outcome::Verified || item.result == Outcome::NotVerified ||
                          item.result == Outcome::NeedsReboot;
        const Device& latest =
            sent && targets[item.target].lastSeen ? *targets[item.target].lastSeen : item.device;
        const std::string detail = item.result == Outcome::NotVerified
                                       ? settingList(targets[item.target].unverified())
                                       : item.failure;
        const std::string ip = ipv4Text(latest.ip);
        rows.push_back({macToText(latest.mac), ip, std::string(resultName(item.result)), detail});
        nlohmann::ordered_json entry = {
            {"mac", macToText(latest.mac)}, {"ip", ip}, {"result", resultName(item.result)}};
        if (item.result == Outcome::NotVerified) {
            entry["unverified"] = nlohmann::ordered_json::array();
            for (const Setting setting : targets[item.target].unverified())
                entry["unverified"].push_back(settingKey(setting));
        }
        if (item.result == Outcome::Failed)
            entry["error"] = item.failure;
        list.push_back(std::move(entry));
    }
    if (format == OutputFormat::Json)
        return list.dump(2) + "\n";
    return renderTable({"mac", "ip", "result", "detail"}, rows);
}

// The rows with their names and accounts in the bytes each device will
// store; a text that its device cannot store goes into errors.
std::vector<PlanRow> encodedForDevices(const std::vector<PlanRow>& rows,
                                       const std::vector<Device>& found, LegacyCodePage page,
                                       std::vector<std::string>& errors)
{
    std::vector<PlanRow> encoded = rows;
    for (PlanRow& row : encoded) {
        const Device* device = findDevice(found, row.mac);
        if (device == nullptr)
            continue;
        if (auto asked = inDeviceEncoding(*device, row.asked, page))
            row.asked = std::move(*asked);
        else
            errors.push_back("row " + std::to_string(row.row) + ": " + asked.failure().message);
    }
    return encoded;
}

Result<ExitCode> runApply(const ApplyOptions& options)
{
    const bool loginRead = !options.dryRun || !options.login.user.empty();
    if (options.planFile == "-" && options.login.passwordFile == "-" && loginRead)
        return refused("the plan and the password cannot both come from standard input");
    const auto text = readPlanText(options.planFile);
    if (!text)
        return text.failure();
    const auto rows = readPlan(*text);
    if (!rows)
        return refused(rows.failure().message + "\nthe plan is refused; nothing was sent");
    // A dry run needs no login; without one, ONVIF devices are found but
    // not read, and a row naming one is refused by the plan check.
    Result<std::optional<Login>> login = std::optional<Login>();
    if (options.dryRun)
        login = readOptionalLogin(options.login);
    else if (auto given = readLogin(options.login.user, options.login.passwordFile))
        login = std::optional<Login>(std::move(*given));
    else
        return given.failure();
    if (!login)
        return login.failure();

    const auto protocol = openProtocol(options.interfaces, options.protocols, *login);
    if (!protocol)
        return protocol.failure();
    DeviceProtocol& devices = **protocol;
    const auto found = searchOnce(devices, searchListening);
    if (!found)
        return found.failure();
    if (found->empty())
        complain(devices.silenceReport(searchListening));
    std::vector<std::string> errors;
    const std::vector<PlanRow> encodedRows =
        encodedForDevices(*rows, *found, options.codePage, errors);
    PlanVerdict verdict = checkPlan(encodedRows, *found, options.codePageOption->count() > 0);
    verdict.errors.insert(verdict.errors.begin(), errors.begin(), errors.end());
    for (const std::string& warning : verdict.warnings)
        complain("warning: " + warning);
    if (!verdict.errors.empty()) {
        std::string problems;
        for (const std::string& error : verdict.errors)
            problems += error + "\n";
        // Devices that could not be read (a refused login) are the likelier
        // cause than the plan: said first, and the run counts as failed.
        const auto unread = devices.problems();
        std::string unreadLines;
        for (const std::string& problem : unread)
            unreadLines += escapeDeviceText(problem) + "\n";
        problems.insert(0, unreadLines);
        return Failure{unread.empty() ? ExitRefused : ExitIncomplete,
                       problems + std::to_string(verdict.errors.size()) +
                           " problem(s) in the plan; nothing was sent"};
    }

    std::vector<DeviceWork> work;
    for (const PlanRow& row : encodedRows) {
        DeviceWork& item = work.emplace_back();
        item.row = row;
        item.device = *findDevice(*found, row.mac); // the check found every row's device
        item.changes = differingSettings(item.device, row.asked);
    }
    if (options.dryRun) {
        if (auto written = writeOut(dryRunText(work)); !written)
            return written.failure();
        return ExitSuccess;
    }

    const bool changesNative = std::any_of(work.begin(), work.end(), [](const DeviceWork& item) {
        return !item.changes.empty() && speaks(item.device, Protocols::Native);
    });
    if (changesNative) {
        if (auto fits = fitsNativeLogin(**login); !fits)
            return fits.failure();
    }
    std::vector<VerificationTarget> targets;
    bool broadcastBefore = false;
    const ChangeOptions change{**login, options.codePage, options.reboot};
    for (DeviceWork& item : work) {
        if (item.changes.empty())
            continue;
        const bool broadcast = speaks(item.device, Protocols::Native);
        if (broadcast && broadcastBefore)
            std::this_thread::sleep_for(sendGap);
        broadcastBefore = broadcastBefore || broadcast;
        if (auto sent = devices.sendChange(item.device, item.row.asked, change); !sent) {
            item.failure = sent.failure().message;
            item.result = Outcome::Failed;
            continue;
        }
        item.target = targets.size();
        targets.push_back({item.row.mac, item.row.asked, item.device, false});
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
        targets[item->target].verified = true; // nothing left to wait for
    }
    verifyTogether(devices, targets, std::chrono::milliseconds(options.timeoutMs));
    bool allGood = true;
    for (DeviceWork& item : work) {
        if (item.result == Outcome::NotVerified && targets[item.target].verified)
            item.result = Outcome::Verified;
        allGood =
            allGood && (item.result == Outcome::Verified || item.result == Outcome::Unchanged);
    }
    if (auto written = writeOut(report(work, targets, options.format)); !written)
        return written.failure();
    if (!allGood)
        return Failure{ExitIncomplete, "some devices were not verified or failed"};
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
    addLoginOptions(*command, options->login);
    addProtocolOption(*command, options->protocols);
    addRebootOption(*command, options->reboot);
    command->add_flag("--dry-run", options->dryRun,
                      "print per device field: now -> planned, and send nothing but the search");
    addTimeoutOption(*command, options->timeoutMs, "how long to verify (ms)");
    addInterfaceOption(*command, options->interfaces);
    options->codePageOption = addCodePageOption(*command, options->codePage);
    addChoiceOption(
        *command, "--format", options->format,
        Choices<OutputFormat>{{"table", OutputFormat::Table}, {"json", OutputFormat::Json}},
        "report as table or json")
        ->default_str("table");
    command->callback([options, &exitCode] { exitCode = cli::exitCode(runApply(*options)); });
}

} // namespace tavolix::cli

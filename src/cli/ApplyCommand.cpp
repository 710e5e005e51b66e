#include "CommandSupport.h"
#include "Commands.h"
#include "DeviceEncoding.h"
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
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

namespace tavolix::cli {
namespace {

// Devices take each broadcast request in turn; a short gap keeps a burst of
// them from overrunning a small device's receive queue.
constexpr std::chrono::milliseconds sendGap{5};

std::optional<std::string> readPlanText(const std::string& path)
{
    if (path == "-")
        return std::string(std::istreambuf_iterator<char>(std::cin), {});
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        complain(path + ": " + std::strerror(errno));
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

enum class Result
{
    Unchanged,
    Verified,
    NotVerified,
    Failed,
};

struct DeviceWork
{
    PlanRow row;
    FoundDevice device;
    std::vector<Setting> changes;
    Result result = Result::Unchanged;
    std::string failure;
    std::size_t target = 0; // index into the verification targets, when sent
};

std::string_view resultName(Result result)
{
    switch (result) {
    case Result::Verified:
        return "verified";
    case Result::NotVerified:
        return "not verified";
    case Result::Failed:
        return "failed";
    case Result::Unchanged:
        break;
    }
    return "unchanged";
}

std::string settingList(const std::vector<Setting>& settings)
{
    std::string list;
    for (const Setting setting : settings)
        list += (list.empty() ? "" : ", ") + std::string(settingKey(setting));
    return list;
}

std::string dryRunText(const std::vector<DeviceWork>& work)
{
    std::string text;
    for (const DeviceWork& item : work) {
        const std::string mac = macToText(item.device.record.mac);
        if (item.changes.empty())
            text += mac + ": no change\n";
        for (const Setting setting : item.changes) {
            text += mac + ": " + std::string(settingKey(setting)) + ": " +
                    escapeDeviceText(currentValue(item.device.record, setting)) + " -> " +
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
        const bool sent = item.result == Result::Verified || item.result == Result::NotVerified;
        const DeviceRecord& latest = sent && targets[item.target].lastSeen
                                         ? *targets[item.target].lastSeen
                                         : item.device.record;
        const std::string detail = item.result == Result::NotVerified
                                       ? settingList(targets[item.target].unverified())
                                       : item.failure;
        const std::string ip(fieldText(latest.ipAddress));
        rows.push_back({macToText(latest.mac), ip, std::string(resultName(item.result)), detail});
        nlohmann::ordered_json entry = {
            {"mac", macToText(latest.mac)}, {"ip", ip}, {"result", resultName(item.result)}};
        if (item.result == Result::NotVerified) {
            entry["unverified"] = nlohmann::ordered_json::array();
            for (const Setting setting : targets[item.target].unverified())
                entry["unverified"].push_back(settingKey(setting));
        }
        if (item.result == Result::Failed)
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
                                       const std::vector<FoundDevice>& found, LegacyCodePage page,
                                       std::vector<std::string>& errors)
{
    std::vector<PlanRow> encoded = rows;
    for (PlanRow& row : encoded) {
        const auto device = std::find_if(found.begin(), found.end(), [&](const FoundDevice& d) {
            return d.record.mac == row.mac;
        });
        if (device == found.end())
            continue;
        std::string problem;
        if (auto asked = inDeviceEncoding(device->record, row.asked, page, problem))
            row.asked = std::move(*asked);
        else
            errors.push_back("row " + std::to_string(row.row) + ": " + problem);
    }
    return encoded;
}

} // namespace

int runApply(const ApplyCommand& command)
{
    if (command.planFile == "-" && command.passwordFile == "-" && !command.dryRun) {
        complain("the plan and the password cannot both come from standard input");
        return ExitRefused;
    }
    const auto text = readPlanText(command.planFile);
    if (!text)
        return ExitRefused;
    std::vector<std::string> errors;
    const std::vector<PlanRow> rows = readPlan(*text, errors);
    for (const std::string& error : errors)
        complain(error);
    if (!errors.empty()) {
        complain("the plan is refused; nothing was sent");
        return ExitRefused;
    }
    std::optional<Login> login;
    if (!command.dryRun && !(login = readLogin(command.user, command.passwordFile)))
        return ExitRefused;

    SearchSession session;
    ExitCode code = ExitSuccess;
    if (!openSession(session, command.interfaces, code))
        return code;
    const auto found = searchOnce(session, searchListening);
    if (!found)
        return ExitSystem;
    if (found->empty())
        complain(session.silenceReport(searchListening));
    const std::vector<PlanRow> encodedRows =
        encodedForDevices(rows, *found, command.codePage, errors);
    PlanVerdict verdict = checkPlan(encodedRows, *found);
    verdict.errors.insert(verdict.errors.begin(), errors.begin(), errors.end());
    for (const std::string& warning : verdict.warnings)
        complain("warning: " + warning);
    for (const std::string& error : verdict.errors)
        complain(error);
    if (!verdict.errors.empty()) {
        complain(std::to_string(verdict.errors.size()) +
                 " problem(s) in the plan; nothing was sent");
        return ExitRefused;
    }

    std::vector<DeviceWork> work;
    for (const PlanRow& row : encodedRows) {
        const auto device = std::find_if(found->begin(), found->end(), [&](const FoundDevice& d) {
            return d.record.mac == row.mac;
        });
        DeviceWork& item = work.emplace_back();
        item.row = row;
        item.device = *device;
        item.changes = differingSettings(device->record, row.asked);
    }
    if (command.dryRun) {
        writeOut(dryRunText(work));
        return ExitSuccess;
    }

    std::vector<VerificationTarget> targets;
    bool first = true;
    for (DeviceWork& item : work) {
        if (item.changes.empty())
            continue;
        if (!first)
            std::this_thread::sleep_for(sendGap);
        first = false;
        const auto request = composeRequest(item.device.record, item.row.asked, *login,
                                            command.codePage, item.failure);
        if (!request || !session.sendConfiguration(item.device, *request, item.failure)) {
            item.result = Result::Failed;
            continue;
        }
        item.target = targets.size();
        targets.push_back({item.row.mac, item.row.asked, item.device.record, false});
        item.result = Result::NotVerified;
    }
    verifyTogether(session, targets, std::chrono::milliseconds(command.timeoutMs));
    bool allGood = true;
    for (DeviceWork& item : work) {
        if (item.result == Result::NotVerified && targets[item.target].verified)
            item.result = Result::Verified;
        allGood = allGood && (item.result == Result::Verified || item.result == Result::Unchanged);
    }
    writeOut(report(work, targets, command.format));
    if (!allGood)
        complain("some devices were not verified or failed");
    return allGood ? ExitSuccess : ExitIncomplete;
}

} // namespace tavolix::cli

#include "CommandSupport.h"
#include "Commands.h"
#include "DeviceEncoding.h"
#include "Ipv4.h"
#include "PlanFile.h"
#include "TextEscape.h"
#include "TextTable.h"
#include "Verification.h"

namespace tavolix::cli {
namespace {

std::string optionName(Setting setting)
{
    std::string name = "--" + std::string(settingKey(setting));
    for (char& c : name)
        c = c == '_' ? '-' : c;
    return name;
}

std::optional<SettingValues> checkedValues(const std::map<Setting, std::string>& given)
{
    SettingValues asked;
    bool good = true;
    for (const auto& [setting, text] : given) {
        std::string problem;
        auto value = canonicalValue(setting, text, problem);
        // What no device may be given is refused before even the search.
        if (value && setting == Setting::HttpPort && *value == "0") {
            problem = "is not a port number from 1 to 65535";
            value.reset();
        }
        if (value && setting == Setting::Ip && !isUnicastHostAddress(*parseIpv4(*value))) {
            problem = "is not an address a device can hold";
            value.reset();
        }
        if (value) {
            asked[setting] = std::move(*value);
        } else {
            complain(optionName(setting) + " \"" + escapeDeviceText(text) + "\" " + problem);
            good = false;
        }
    }
    return good ? std::optional(asked) : std::nullopt;
}

// Per asked setting: asked, now (as the latest reply shows it), ok.
std::string fieldReport(const VerificationTarget& target)
{
    std::vector<std::vector<std::string>> rows;
    const auto missing = target.unverified();
    for (const auto& [setting, value] : target.asked) {
        const bool ok = std::find(missing.begin(), missing.end(), setting) == missing.end();
        rows.push_back({std::string(settingKey(setting)), escapeDeviceText(value),
                        target.lastSeen ? escapeDeviceText(currentValue(*target.lastSeen, setting))
                                        : std::string("-"),
                        ok ? "yes" : "no"});
    }
    return renderTable({"field", "asked", "now", "ok"}, rows);
}

std::string settingList(const std::vector<Setting>& settings)
{
    std::string list;
    for (const Setting setting : settings)
        list += (list.empty() ? "" : ", ") + std::string(settingKey(setting));
    return list;
}

} // namespace

int runSet(const SetCommand& command)
{
    const auto mac = parseMacText(command.mac);
    if (!mac) {
        complain("\"" + escapeDeviceText(command.mac) + "\" is not a MAC address (12 hex digits)");
        return ExitRefused;
    }
    if (command.given.empty()) {
        complain("nothing to set: give at least one of --name, --ip, --mask, --gateway, "
                 "--http-port, --mode, --pppoe-account");
        return ExitRefused;
    }
    const auto asked = checkedValues(command.given);
    if (!asked)
        return ExitRefused;
    const auto login = readLogin(command.user, command.passwordFile);
    if (!login)
        return ExitRefused;

    SearchSession session;
    ExitCode code = ExitSuccess;
    if (!openSession(session, {}, code))
        return code;
    if (!searchOnce(session, searchListening,
                    [&](const FoundDevice& device) { return device.record.mac == *mac; }))
        return ExitSystem;
    const auto device = session.find(*mac);
    if (!device) {
        complain("device " + macToText(*mac) + " did not answer the search");
        return ExitIncomplete;
    }
    std::string problem;
    const auto encoded = inDeviceEncoding(device->record, *asked, command.codePage, problem);
    if (!encoded) {
        complain(problem);
        return ExitRefused;
    }
    const auto refusals = refusedChanges(device->record, *encoded);
    for (const std::string& refusal : refusals)
        complain(refusal);
    if (!refusals.empty())
        return ExitRefused;

    std::vector<VerificationTarget> targets = {{*mac, *encoded, device->record, false}};
    if (differingSettings(device->record, *encoded).empty()) {
        writeOut(fieldReport(targets.front()));
        complain("the device already reads as asked; nothing sent");
        return ExitSuccess;
    }
    const auto request =
        composeRequest(device->record, *encoded, *login, command.codePage, problem);
    if (!request) {
        complain(problem);
        return ExitRefused;
    }
    if (!session.sendConfiguration(*device, *request, problem)) {
        complain(problem);
        return ExitSystem;
    }
    if (command.noVerify) {
        complain("sent to " + macToText(*mac) + "; not verified (--no-verify)");
        return ExitSuccess;
    }
    verifyTogether(session, targets, std::chrono::milliseconds(command.timeoutMs));
    writeOut(fieldReport(targets.front()));
    if (!targets.front().verified) {
        complain("not verified within " + std::to_string(command.timeoutMs) +
                 " ms: " + settingList(targets.front().unverified()));
        return ExitIncomplete;
    }
    return ExitSuccess;
}

} // namespace tavolix::cli

#include "CommandSupport.h"
#include "Commands.h"
#include "CommonOptions.h"
#include "Datagram.h"
#include "DeviceEncoding.h"
#include "PlanFile.h"
#include "TextEscape.h"
#include "TextTable.h"
#include "Verification.h"

#include <memory>

namespace tavolix::cli {
namespace {

struct SetOptions
{
    std::string mac;
    std::map<Setting, std::string> typed;
    std::map<Setting, CLI::Option*> settingOptions; // given: typed holds the value
    LoginOptions login;
    ProtocolChoice protocols = ProtocolChoice::All;
    int timeoutMs = 15000;
    bool noVerify = false;
    bool reboot = false;
    LegacyCodePage codePage = LegacyCodePage::Windows1252; // of names not in UTF-8
    CLI::Option* codePageOption = nullptr;                 // given: ONVIF devices refuse it
};

std::string optionName(Setting setting)
{
    std::string name = "--" + std::string(settingKey(setting));
    for (char& c : name)
        c = c == '_' ? '-' : c;
    return name;
}

Result<SettingValues> checkedValues(const std::map<Setting, std::string>& given)
{
    SettingValues asked;
    std::string problems;
    for (const auto& [setting, text] : given) {
        auto value = canonicalValue(setting, text);
        // What no device may be given is refused before even the search.
        if (value && !valueRefusal(setting, *value).empty())
            value = refused(valueRefusal(setting, *value));
        if (value)
            asked[setting] = std::move(*value);
        else
            problems += (problems.empty() ? "" : "\n") + optionName(setting) + " \"" +
                        escapeDeviceText(text) + "\" " + value.failure().message;
    }
    if (!problems.empty())
        return refused(problems);
    return asked;
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

Result<ExitCode> runSet(const SetOptions& options)
{
    const auto mac = parseMacText(options.mac);
    if (!mac)
        return refused("\"" + escapeDeviceText(options.mac) +
                       "\" is not a MAC address (12 hex digits)");
    std::map<Setting, std::string> given;
    for (const auto& [setting, option] : options.settingOptions) {
        if (option->count() > 0)
            given[setting] = options.typed.at(setting);
    }
    if (given.empty())
        return refused("nothing to set: give at least one of --name, --ip, --mask, --gateway, "
                       "--http-port, --mode, --pppoe-account");
    const auto asked = checkedValues(given);
    if (!asked)
        return asked.failure();
    const auto login = readLogin(options.login.user, options.login.passwordFile);
    if (!login)
        return login.failure();

    const auto protocol = openProtocol({}, options.protocols, *login);
    if (!protocol)
        return protocol.failure();
    DeviceProtocol& devices = **protocol;
    const auto found = searchOnce(devices, searchListening,
                                  [&](const Device& device) { return device.mac == *mac; });
    if (!found)
        return found.failure();
    const auto device = devices.identify(*mac);
    if (!device) {
        // An ONVIF device that refused the login is known by no MAC: say so.
        for (const std::string& problem : devices.problems())
            complain(escapeDeviceText(problem));
        return incomplete("device " + macToText(*mac) + " did not answer the search");
    }
    const auto encoded = inDeviceEncoding(*device, *asked, options.codePage);
    if (!encoded)
        return encoded.failure();
    std::string refusals;
    for (const std::string& refusal :
         refusedChanges(*device, *encoded, options.codePageOption->count() > 0))
        refusals += (refusals.empty() ? "" : "\n") + refusal;
    if (!refusals.empty())
        return refused(refusals);

    std::vector<VerificationTarget> targets = {{*mac, *encoded, *device, false}};
    if (differingSettings(*device, *encoded).empty()) {
        if (auto written = writeOut(fieldReport(targets.front())); !written)
            return written.failure();
        complain("the device already reads as asked; nothing sent");
        return ExitSuccess;
    }
    if (speaks(*device, Protocols::Native)) {
        if (auto fits = fitsNativeLogin(*login); !fits)
            return fits.failure();
    }
    if (auto sent =
            devices.sendChange(*device, *encoded, {*login, options.codePage, options.reboot});
        !sent)
        return sent.failure();
    if (const auto outcomes = devices.finishChanges(); !outcomes.empty()) {
        if (outcomes.front().state == ChangeOutcome::State::Failed)
            return incomplete(outcomes.front().message);
        if (auto written = writeOut(fieldReport(targets.front())); !written)
            return written.failure();
        return incomplete(macToText(*mac) + ": needs reboot: it takes the change "
                                                         "only after one (--reboot sends it)");
    }
    if (options.noVerify) {
        complain("sent to " + macToText(*mac) + "; not verified (--no-verify)");
        return ExitSuccess;
    }
    verifyTogether(devices, targets, std::chrono::milliseconds(options.timeoutMs));
    if (auto written = writeOut(fieldReport(targets.front())); !written)
        return written.failure();
    if (!targets.front().verified)
        return incomplete("not verified within " + std::to_string(options.timeoutMs) +
                                           " ms: " + settingList(targets.front().unverified()));
    return ExitSuccess;
}

} // namespace

void setupSet(CLI::App& program, int& exitCode)
{
    auto options = std::make_shared<SetOptions>();
    CLI::App* command = program.add_subcommand(
        "set", "change one device's settings, then search until they read back as asked");
    command->add_option("MAC", options->mac, "the device's MAC address, 12 hex digits")->required();
    const struct
    {
        Setting setting;
        const char* type;
        std::string help;
    } settings[] = {
        {Setting::Name, "TEXT",
         "new device name (at most " + std::to_string(valueSize(Tag::Name)) + " bytes)"},
        {Setting::Ip, "A.B.C.D", "new IPv4 address"},
        {Setting::Mask, "A.B.C.D", "new subnet mask"},
        {Setting::Gateway, "A.B.C.D", "new gateway"},
        {Setting::HttpPort, "N", "new HTTP port, 1 to 65535"},
        {Setting::Mode, "MODE", "new address mode: static, dhcp or pppoe"},
        {Setting::PppoeAccount, "TEXT",
         "new PPPoE account (at most " + std::to_string(valueSize(Tag::PppoeAccount)) + " bytes)"},
    };
    for (const auto& setting : settings) {
        options->settingOptions[setting.setting] =
            command
                ->add_option(optionName(setting.setting), options->typed[setting.setting],
                             setting.help)
                ->type_name(setting.type);
    }
    addLoginOptions(*command, options->login);
    command->get_option("--user")->required();
    addProtocolOption(*command, options->protocols);
    addTimeoutOption(*command, options->timeoutMs, "how long to verify (ms)");
    command->add_flag("--no-verify", options->noVerify, "send, but do not search for the result");
    addRebootOption(*command, options->reboot);
    options->codePageOption = addCodePageOption(*command, options->codePage);
    command->callback([options, &exitCode] { exitCode = cli::exitCode(runSet(*options)); });
}

} // namespace tavolix::cli

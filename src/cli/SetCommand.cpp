#include "CommandSupport.h"
#include "Commands.h"
#include "CommonOptions.h"
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
    DeviceSearch search;
    int timeoutMs = static_cast<int>(verifyTimeout.count());
    bool noVerify = false;
    bool reboot = false;
    LegacyCodePage codePage = LegacyCodePage::Windows1252; // of names not in UTF-8
    CLI::Option* codePageOption = nullptr;                 // given or not
};

std::string optionName(Setting setting)
{
    std::string name = "--" + std::string(settingKey(setting));
    for (char& c : name)
        c = c == '_' ? '-' : c;
    return name;
}

Result<DeviceSettings> checkedValues(const std::map<Setting, std::string>& given)
{
    DeviceSettings asked;
    std::vector<std::string> problems;
    for (const auto& [setting, text] : given) {
        auto parsed = parseSetting(asked, setting, text);
        // What no device may be given is refused before even the search.
        if (parsed && !valueRefusal(asked, setting).empty())
            parsed = refused(valueRefusal(asked, setting));
        if (!parsed)
            problems.push_back(optionName(setting) + " \"" + text + "\" " +
                               parsed.failure().message);
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
    for (const Setting setting : target.asked.given()) {
        const bool ok = std::find(missing.begin(), missing.end(), setting) == missing.end();
        const std::string now =
            target.lastSeen ? settingText(currentSettings(*target.lastSeen), setting) : "-";
        rows.push_back({std::string(settingKey(setting)),
                        escapeDeviceText(settingText(target.asked, setting)), escapeDeviceText(now),
                        ok ? "yes" : "no"});
    }
    return renderTable({"field", "asked", "now", "ok"}, rows);
}

Result<ExitCode> runSet(const SetOptions& options)
{
    const auto mac = parseMacText(options.mac);
    if (!mac)
        return refused("\"" + options.mac + "\" is not a MAC address (12 hex digits)");
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
    // The whole listening time, not until the device first answers: a clone
    // with its MAC may answer later, and a change would reach both.
    DeviceSearch search = options.search;
    search.readingMs = options.timeoutMs;
    auto searched = searchDevices(search, true);
    if (!searched)
        return searched.failure();
    DeviceProtocol& devices = *searched->protocol;
    if (auto sole = soleDeviceWith(searched->found, *mac); !sole)
        return refused(sole.failure().message + "\nnothing was sent");
    const auto device = devices.identify(*mac);
    if (!device) {
        // An ONVIF device that refused the login is known by no MAC: say so.
        const auto problems = devices.problems();
        for (const std::string& problem : problems)
            complainLine(problem);
        return incomplete("device " + macToText(*mac) +
                          (problems.empty() ? " did not answer the search"
                                            : " is none of the devices that could be read"));
    }
    const ChangeOptions change{searched->login,
                               options.codePageOption->count() > 0 ? std::optional(options.codePage)
                                                                   : std::nullopt,
                               options.reboot};
    const auto encoded = devices.checkChange(*device, *asked, change);
    if (!encoded)
        return refused(encoded.failure().message + "\nnothing was sent");

    std::vector<VerificationTarget> targets = {{*mac, *encoded, *device}};
    if (differingSettings(*device, *encoded).empty()) {
        if (auto written = writeOut(fieldReport(targets.front())); !written)
            return written.failure();
        complain("the device already reads as asked; nothing sent");
        return ExitSuccess;
    }
    // From the change sent on, whatever fails, the report is written.
    Result<> sent = Done{};
    std::optional<ChangeOutcome> outcome;
    const Result<> ran = runCaught([&] {
        sent = devices.sendChange(*device, *encoded, change);
        if (!sent)
            return;
        if (auto outcomes = devices.finishChanges(); !outcomes.empty()) {
            outcome = std::move(outcomes.front());
            if (outcome->state == ChangeOutcome::State::Failed && outcome->someTaken) {
                // Taken in part: what the device holds now is read back ("-": no answer).
                targets.front().wait = VerificationTarget::Wait::ReadBack;
                targets.front().lastSeen.reset();
                verifyTogether(devices, targets, std::chrono::milliseconds(options.timeoutMs));
            }
        } else if (!options.noVerify)
            verifyTogether(devices, targets, std::chrono::milliseconds(options.timeoutMs));
    });
    if (!sent)
        return sent.failure();
    if (ran && !outcome && options.noVerify) {
        complain("sent to " + macToText(*mac) + "; not verified (--no-verify)");
        return ExitSuccess;
    }
    if (auto written = writeOut(fieldReport(targets.front())); !written)
        return written.failure();
    if (!ran)
        return ran.failure();
    if (outcome && outcome->state == ChangeOutcome::State::Failed)
        return incomplete(outcome->message);
    if (outcome)
        return incomplete(macToText(*mac) + ": needs reboot: it takes the change "
                                            "only after one (--reboot sends it)");
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
        {Setting::Name, "TEXT", "new device name (as long as the device's protocol takes)"},
        {Setting::Ip, "A.B.C.D", "new IPv4 address"},
        {Setting::Mask, "A.B.C.D", "new subnet mask"},
        {Setting::Gateway, "A.B.C.D", "new gateway"},
        {Setting::HttpPort, "N", "new HTTP port, 1 to 65535"},
        {Setting::Mode, "MODE", "new address mode: static, dhcp or pppoe"},
        {Setting::PppoeAccount, "TEXT", "new PPPoE account"},
    };
    for (const auto& setting : settings) {
        options->settingOptions[setting.setting] =
            command
                ->add_option(optionName(setting.setting), options->typed[setting.setting],
                             setting.help)
                ->type_name(setting.type);
    }
    addLoginOptions(*command, options->search.login);
    addTlsVerifyOption(*command, options->search.tls);
    command->get_option("--user")->required();
    addProtocolOption(*command, options->search.protocols);
    addInterfaceOption(*command, options->search.interfaces);
    addAdoptOption(*command, options->search.adopt);
    addTimeoutOption(*command, options->timeoutMs,
                     "how long to verify (ms); also how long the first search reads on the "
                     "devices that answered within its 1500 ms");
    command->add_flag("--no-verify", options->noVerify, "send, but do not search for the result");
    addRebootOption(*command, options->reboot);
    options->codePageOption = addCodePageOption(*command, options->codePage);
    command->callback([options, &exitCode] { exitCode = cli::exitCode(runSet(*options)); });
}

} // namespace tavolix::cli

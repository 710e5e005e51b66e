#include "CommandLine.h"

#include "Commands.h"
#include "DeviceEncoding.h"
#include "ExitCode.h"

#include <CLI/CLI.hpp>

namespace tavolix::cli {
namespace {

constexpr const char* exitCodeHelp =
    "Exit codes:\n"
    "  0  success (search: at least one device found)\n"
    "  1  nothing found, or some device not verified or failed\n"
    "  2  usage error, a refused value or change, or an invalid plan (nothing sent)\n"
    "  3  system error: no usable interface, UDP port 3566 in use (is a Tavolix window\n"
    "     open?), or no permission\n"
    "\n"
    "The login password never goes on the command line: it is read from\n"
    "--password-file FILE (- for standard input), else from the environment variable\n"
    "TAVOLIX_PASSWORD, else asked for on the terminal without echo.\n"
    "\n"
    "Texts from devices never reach the output raw: a backslash is written \\\\, control\n"
    "characters and bytes that are not UTF-8 as \\xHH. In CSV a cell that starts with\n"
    "= + - @ or ' gets a leading '. A plan read by apply undoes both, so a listing\n"
    "from search --format csv is a plan that changes nothing.\n";

constexpr int longestWait = 3'600'000;

OutputFormat formatNamed(const std::string& name)
{
    if (name == "json")
        return OutputFormat::Json;
    return name == "csv" ? OutputFormat::Csv : OutputFormat::Table;
}

void addInterfaceOption(CLI::App& command, std::vector<std::string>& interfaces)
{
    command
        .add_option("--interface", interfaces,
                    "work only on this local interface (repeat for more); default: every up, "
                    "broadcast-capable IPv4 interface")
        ->type_name("IF");
}

void addLoginOptions(CLI::App& command, std::string& user, std::string& passwordFile)
{
    command.add_option("--user", user, "login account of the devices (at most 16 bytes)")
        ->type_name("NAME");
    command
        .add_option("--password-file", passwordFile,
                    "read the login password from the first line of FILE (- for standard input)")
        ->type_name("FILE");
}

void addCodePageOption(CLI::App& command, std::string& codePage)
{
    command
        .add_option("--code-page", codePage,
                    "code page of device names that are not UTF-8, in which a changed name is "
                    "written back: windows-1252, gb18030, big5 or shift-jis")
        ->capture_default_str()
        ->check(CLI::IsMember({"windows-1252", "gb18030", "big5", "shift-jis"}));
}

struct SetValues
{
    std::map<Setting, std::string> typed;
    std::map<Setting, CLI::Option*> options;
};

void addSettingOptions(CLI::App& command, SetValues& values)
{
    const struct
    {
        Setting setting;
        const char* option;
        const char* type;
        const char* help;
    } settings[] = {
        {Setting::Name, "--name", "TEXT", "new device name (at most 31 bytes)"},
        {Setting::Ip, "--ip", "A.B.C.D", "new IPv4 address"},
        {Setting::Mask, "--mask", "A.B.C.D", "new subnet mask"},
        {Setting::Gateway, "--gateway", "A.B.C.D", "new gateway"},
        {Setting::HttpPort, "--http-port", "N", "new HTTP port, 1 to 65535"},
        {Setting::Mode, "--mode", "MODE", "new address mode: static, dhcp or pppoe"},
        {Setting::PppoeAccount, "--pppoe-account", "TEXT", "new PPPoE account (at most 64 bytes)"},
    };
    for (const auto& setting : settings) {
        values.options[setting.setting] =
            command.add_option(setting.option, values.typed[setting.setting], setting.help)
                ->type_name(setting.type);
    }
}

} // namespace

int runCommandLine(int argc, char** argv)
{
    CLI::App app{"tavolixctl: find network cameras and recorders on the local network segment, "
                 "and change their network settings with verification."};
    app.footer(exitCodeHelp);
    app.require_subcommand(1, 1);

    SearchCommand search;
    std::string searchFormat;
    CLI::App* searchApp = app.add_subcommand(
        "search", "list the devices that answer a search, one per row, sorted by IP address");
    addInterfaceOption(*searchApp, search.interfaces);
    searchApp->add_option("--timeout", search.timeoutMs, "how long to listen for replies (ms)")
        ->type_name("MS")
        ->capture_default_str()
        ->check(CLI::Range(1, longestWait));
    searchApp
        ->add_option("--format", searchFormat,
                     "table, json or csv; default: table on a terminal, CSV otherwise")
        ->check(CLI::IsMember({"table", "json", "csv"}));
    searchApp->footer(exitCodeHelp);

    SetCommand set;
    SetValues setValues;
    CLI::App* setApp = app.add_subcommand(
        "set", "change one device's settings, then search until they read back as asked");
    setApp->add_option("MAC", set.mac, "the device's MAC address, 12 hex digits")->required();
    addSettingOptions(*setApp, setValues);
    addLoginOptions(*setApp, set.user, set.passwordFile);
    setApp->get_option("--user")->required();
    setApp->add_option("--timeout", set.timeoutMs, "how long to verify (ms)")
        ->type_name("MS")
        ->capture_default_str()
        ->check(CLI::Range(1, longestWait));
    setApp->add_flag("--no-verify", set.noVerify, "send, but do not search for the result");
    std::string setCodePage = "windows-1252";
    addCodePageOption(*setApp, setCodePage);
    setApp->footer(exitCodeHelp);

    PlanCommand plan;
    CLI::App* planApp = app.add_subcommand(
        "plan", "search, then print a CSV plan giving every device the next free address");
    planApp->add_option("--ip-from", plan.ipFrom, "first address to hand out")
        ->type_name("A.B.C.D")
        ->required();
    planApp->add_option("--mask", plan.mask, "subnet mask for every device (default: keep)")
        ->type_name("A.B.C.D");
    planApp->add_option("--gateway", plan.gateway, "gateway for every device (default: keep)")
        ->type_name("A.B.C.D");
    planApp
        ->add_option("--name-prefix", plan.namePrefix,
                     "name the devices PREFIX001, PREFIX002, ... in MAC order")
        ->type_name("TEXT");
    addInterfaceOption(*planApp, plan.interfaces);
    planApp->footer(exitCodeHelp);

    ApplyCommand apply;
    std::string applyFormat = "table";
    CLI::App* applyApp = app.add_subcommand(
        "apply", "check a CSV plan against a search, send it, and verify every device");
    applyApp->add_option("PLAN", apply.planFile, "the plan, CSV with a mac column (- for stdin)")
        ->required();
    addLoginOptions(*applyApp, apply.user, apply.passwordFile);
    applyApp->add_flag("--dry-run", apply.dryRun,
                       "print per device field: now -> planned, and send nothing but the search");
    applyApp->add_option("--timeout", apply.timeoutMs, "how long to verify (ms)")
        ->type_name("MS")
        ->capture_default_str()
        ->check(CLI::Range(1, longestWait));
    addInterfaceOption(*applyApp, apply.interfaces);
    std::string applyCodePage = "windows-1252";
    addCodePageOption(*applyApp, applyCodePage);
    applyApp->add_option("--format", applyFormat, "report as table or json")
        ->capture_default_str()
        ->check(CLI::IsMember({"table", "json"}));
    applyApp->footer(exitCodeHelp);

    DoctorCommand doctor;
    CLI::App* doctorApp = app.add_subcommand(
        "doctor", "check interfaces, the local port, the packet filter and reverse-path "
                  "filtering, then search once; one line per check with its verdict");
    addInterfaceOption(*doctorApp, doctor.interfaces);
    doctorApp->footer("Exit codes: 0 every check passed (a check that could not tell does not\n"
                      "fail), 1 one failed, 2 usage error.\n");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? ExitSuccess : ExitRefused;
    }

    if (searchApp->parsed()) {
        if (!searchFormat.empty())
            search.format = formatNamed(searchFormat);
        return runSearch(search);
    }
    if (setApp->parsed()) {
        for (const auto& [setting, option] : setValues.options) {
            if (option->count() > 0)
                set.given[setting] = setValues.typed[setting];
        }
        set.codePage = *codePageNamed(setCodePage);
        return runSet(set);
    }
    if (planApp->parsed())
        return runPlan(plan);
    if (doctorApp->parsed())
        return runDoctor(doctor);
    apply.format = formatNamed(applyFormat);
    apply.codePage = *codePageNamed(applyCodePage);
    return runApply(apply);
}

} // namespace tavolix::cli

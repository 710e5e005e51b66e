#include "CommonOptions.h"

namespace tavolix::cli {
namespace {

constexpr int longestWait = 3'600'000;

} // namespace

void addInterfaceOption(CLI::App& command, std::vector<std::string>& interfaces)
{
    command
        .add_option("--interface", interfaces,
                    "work only on this local interface (repeat for more); default: every up, "
                    "broadcast-capable IPv4 interface")
        ->type_name("IF");
}

void addTimeoutOption(CLI::App& command, int& milliseconds, const std::string& help)
{
    command.add_option("--timeout", milliseconds, help)
        ->type_name("MS")
        ->capture_default_str()
        ->check(CLI::Range(1, longestWait));
}

void addLoginOptions(CLI::App& command, LoginOptions& login)
{
    command
        .add_option("--user", login.user,
                    "login account of the devices; each protocol says when it is too long")
        ->type_name("NAME");
    command
        .add_option("--password-file", login.passwordFile,
                    "read the login password from the first line of FILE (- for standard input)")
        ->type_name("FILE");
}

CLI::Option* addCodePageOption(CLI::App& command, LegacyCodePage& page)
{
    const Choices<LegacyCodePage> pages = {
        {"windows-1252", LegacyCodePage::Windows1252},
        {"gb18030", LegacyCodePage::Gb18030},
        {"big5", LegacyCodePage::Big5},
        {"shift-jis", LegacyCodePage::ShiftJis},
    };
    return addChoiceOption(
               command, "--code-page", page, pages,
               "code page of device names that are not UTF-8, in which a changed name is "
               "written back: windows-1252, gb18030, big5 or shift-jis")
        ->default_str("windows-1252");
}

void addProtocolOption(CLI::App& command, ProtocolChoice& choice)
{
    addChoiceOption(command, "--protocol", choice,
                    Choices<ProtocolChoice>{{"all", ProtocolChoice::All},
                                            {"native", ProtocolChoice::Native},
                                            {"onvif", ProtocolChoice::Onvif}},
                    "search in all protocols, only the devices' own (native) or only ONVIF")
        ->default_str("all");
}

void addRebootOption(CLI::App& command, bool& reboot)
{
    command.add_flag("--reboot", reboot,
                     "reboot an ONVIF device that takes its new address only after a reboot; "
                     "without, it is reported as needing one");
}

void addTlsVerifyOption(CLI::App& command, onvif::TlsCheck& check)
{
    command.add_flag_callback(
        "--tls-verify", [&check] { check = onvif::TlsCheck::Required; },
        "require a valid certificate chain for its host from ONVIF devices reached over https; "
        "without, their (mostly self-signed) certificates are not checked");
}

void addAdoptOption(CLI::App& command, bool& adopt)
{
    command.add_flag("--adopt", adopt,
                     "reach ONVIF devices on subnets this host is not on through a temporary "
                     "address (needs root)");
}

} // namespace tavolix::cli

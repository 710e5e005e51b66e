#include "AddressPlanner.h"
#include "CommandSupport.h"
#include "Commands.h"
#include "CommonOptions.h"
#include "DeviceListing.h"
#include "TextEscape.h"

#include <memory>

namespace tavolix::cli {
namespace {

struct PlanOptions
{
    std::string ipFrom;
    std::string mask;
    std::string gateway;
    std::string namePrefix;
    std::vector<std::string> interfaces;
    ProtocolChoice protocols = ProtocolChoice::All;
    LoginOptions login;
};

// An address option: nothing when not given.
Result<std::optional<Ipv4>> addressOption(const std::string& option, const std::string& text,
                                          Setting setting)
{
    if (text.empty())
        return std::optional<Ipv4>();
    const auto value = canonicalValue(setting, text);
    if (!value)
        return refused(option + " \"" + escapeDeviceText(text) + "\" " + value.failure().message);
    return parseIpv4(*value);
}

Result<ExitCode> runPlan(const PlanOptions& options)
{
    const auto from = addressOption("--ip-from", options.ipFrom, Setting::Ip);
    const auto mask = addressOption("--mask", options.mask, Setting::Mask);
    const auto gateway = addressOption("--gateway", options.gateway, Setting::Gateway);
    for (const auto* address : {&from, &mask, &gateway}) {
        if (!*address)
            return address->failure();
    }
    if (!*from || !isUnicastHostAddress(**from))
        return refused("--ip-from needs an address a device can hold");
    const AddressPlanRequest request{**from, *mask, *gateway, options.namePrefix};

    // An ONVIF device's MAC, the key of a plan's row, is read only through a login.
    const auto login = readOptionalLogin(options.login);
    if (!login)
        return login.failure();
    const auto protocol = openProtocol(options.interfaces, options.protocols, *login);
    if (!protocol)
        return protocol.failure();
    const auto found = searchOnce(**protocol, searchListening);
    if (!found)
        return found.failure();
    if (found->empty())
        return incomplete((*protocol)->silenceReport(searchListening));
    auto plan = planAddresses(*found, request);
    if (!plan)
        return plan.failure();
    for (const std::string& note : plan->notes)
        complain(escapeDeviceText(note));
    // The plan shows whether each device will be reachable at its new address.
    for (Device& device : plan->devices)
        device.onLink = isOnLink((*protocol)->interfaces(), device.interfaceIndex, device.ip);
    if (auto written = writeOut(csvListing(listingRows(plan->devices))); !written)
        return written.failure();
    return ExitSuccess;
}

} // namespace

void setupPlan(CLI::App& program, int& exitCode)
{
    auto options = std::make_shared<PlanOptions>();
    CLI::App* command = program.add_subcommand(
        "plan", "search, then print a CSV plan giving every device the next free address");
    command->add_option("--ip-from", options->ipFrom, "first address to hand out")
        ->type_name("A.B.C.D")
        ->required();
    command->add_option("--mask", options->mask, "subnet mask for every device (default: keep)")
        ->type_name("A.B.C.D");
    command->add_option("--gateway", options->gateway, "gateway for every device (default: keep)")
        ->type_name("A.B.C.D");
    command
        ->add_option("--name-prefix", options->namePrefix,
                     "name the devices PREFIX001, PREFIX002, ... in MAC order")
        ->type_name("TEXT");
    addInterfaceOption(*command, options->interfaces);
    addProtocolOption(*command, options->protocols);
    addLoginOptions(*command, options->login);
    command->callback([options, &exitCode] { exitCode = cli::exitCode(runPlan(*options)); });
}

} // namespace tavolix::cli

#include "AddressPlanner.h"
#include "CommandSupport.h"
#include "Commands.h"
#include "CommonOptions.h"
#include "DeviceListing.h"

#include <memory>
#include <tuple>

namespace tavolix::cli {
namespace {

struct PlanOptions
{
    std::string ipFrom;
    std::string mask;
    std::string gateway;
    std::string namePrefix;
    DeviceSearch search;
};

// The address options as settings: nothing of those not given.
Result<DeviceSettings> addressOptions(const PlanOptions& options)
{
    DeviceSettings given;
    for (const auto& [option, text, setting] :
         {std::tuple{"--ip-from", &options.ipFrom, Setting::Ip},
          {"--mask", &options.mask, Setting::Mask},
          {"--gateway", &options.gateway, Setting::Gateway}}) {
        if (text->empty())
            continue;
        if (auto parsed = parseSetting(given, setting, *text); !parsed)
            return refused(std::string(option) + " \"" + *text + "\" " + parsed.failure().message);
    }
    return given;
}

Result<ExitCode> runPlan(const PlanOptions& options)
{
    const auto given = addressOptions(options);
    if (!given)
        return given.failure();
    if (!given->ip || !isUnicastHostAddress(*given->ip))
        return refused("--ip-from needs an address a device can hold");
    const AddressPlanRequest request{*given->ip, given->mask, given->gateway, options.namePrefix};

    // An ONVIF device's MAC, the key of a plan's row, is read only through a login.
    const auto searched = searchDevices(options.search, false);
    if (!searched)
        return searched.failure();
    const auto& protocol = searched->protocol;
    const std::vector<Device>* found = &searched->found;
    if (found->empty())
        return incomplete(
            protocol->silenceReport(std::chrono::milliseconds(options.search.listeningMs)));
    auto plan = planAddresses(*found, request, *protocol);
    if (!plan)
        return plan.failure();
    for (const std::string& note : plan->notes)
        complainLine(note);
    // The plan shows whether each device will be reachable at its new address.
    for (Device& device : plan->devices)
        device.onLink = isOnLink(protocol->interfaces(), device.interfaceIndex, device.ip);
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
    addInterfaceOption(*command, options->search.interfaces);
    addProtocolOption(*command, options->search.protocols);
    addLoginOptions(*command, options->search.login);
    addTlsVerifyOption(*command, options->search.tls);
    addAdoptOption(*command, options->search.adopt);
    command->callback([options, &exitCode] { exitCode = cli::exitCode(runPlan(*options)); });
}

} // namespace tavolix::cli

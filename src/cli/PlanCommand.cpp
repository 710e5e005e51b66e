#include "AddressPlanner.h"
#include "CommandSupport.h"
#include "Commands.h"
#include "TextEscape.h"

namespace tavolix::cli {
namespace {

// An address option: nothing when not given; false after a complaint when bad.
bool readAddressOption(const std::string& option, const std::string& text, Setting setting,
                       std::optional<Ipv4>& address)
{
    if (text.empty())
        return true;
    std::string problem;
    const auto value = canonicalValue(setting, text, problem);
    if (!value) {
        complain(option + " \"" + escapeDeviceText(text) + "\" " + problem);
        return false;
    }
    address = parseIpv4(*value);
    return true;
}

} // namespace

int runPlan(const PlanCommand& command)
{
    AddressPlanRequest request;
    std::optional<Ipv4> from;
    if (!readAddressOption("--ip-from", command.ipFrom, Setting::Ip, from) ||
        !readAddressOption("--mask", command.mask, Setting::Mask, request.mask) ||
        !readAddressOption("--gateway", command.gateway, Setting::Gateway, request.gateway))
        return ExitRefused;
    if (!from || !isUnicastHostAddress(*from)) {
        complain("--ip-from needs an address a device can hold");
        return ExitRefused;
    }
    request.from = *from;
    request.namePrefix = command.namePrefix;

    SearchSession session;
    ExitCode code = ExitSuccess;
    if (!openSession(session, command.interfaces, code))
        return code;
    const auto found = searchOnce(session, searchListening);
    if (!found)
        return ExitSystem;
    if (found->empty()) {
        complain(session.silenceReport(searchListening));
        return ExitIncomplete;
    }
    std::string problem;
    auto plan = planAddresses(*found, request, problem);
    if (!plan) {
        complain(problem);
        return ExitRefused;
    }
    for (const std::string& note : plan->notes)
        complain(note);
    // The plan shows whether each device will be reachable at its new address.
    for (FoundDevice& device : plan->devices) {
        const auto ip = parseIpv4(fieldText(device.record.ipAddress));
        device.onLink = ip && session.isOnLink(device.interfaceIndex, *ip);
    }
    writeOut(csvListing(listingRows(plan->devices)));
    return ExitSuccess;
}

} // namespace tavolix::cli

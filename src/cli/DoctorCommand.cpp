#include "CommandSupport.h"
#include "Commands.h"
#include "Doctor.h"

#include <iostream>

namespace tavolix::cli {
namespace {

// The doctor's last check: one search as `search` makes it, counted per interface.
doctor::SearchProbeResult searchProbe(const DoctorCommand& command)
{
    doctor::SearchProbeResult result;
    SearchSession session;
    SessionFailure failure;
    if (!session.open(command.interfaces, failure)) {
        result.failure = failure.message;
        return result;
    }
    std::string error;
    if (!session.sendSearch(error)) {
        result.failure = error;
        return result;
    }
    result.listened = searchListening;
    session.collect(Clock::now() + searchListening);
    for (const FoundDevice& device : session.devices()) {
        ++result.devices;
        ++result.devicesPerInterface[device.interfaceName];
    }
    return result;
}

} // namespace

int runDoctor(const DoctorCommand& command)
{
    doctor::DoctorOptions options;
    options.interfaces = command.interfaces;
    options.localPort = localPort;
    options.devicePort = devicePort;
    const auto checks =
        doctor::runDoctorChecks(options, [&command] { return searchProbe(command); });
    doctor::printDoctorChecks(std::cout, checks);
    std::cout.flush();
    return doctor::doctorExitCode(checks);
}

} // namespace tavolix::cli

// How long a temporary address takes: the ARP probes and the netlink add until it is up, and
// its removal. A host namespace on 10.20.0.5/24, a peer holding 192.168.1.253 (the first
// candidate there), so that one subnet's choice moves on and another's does not.
#include "NetnsTopology.h"
#include "ScopedNetns.h"
#include "TemporaryAddresses.h"
#include "TemporaryDirectory.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <net/if.h>
#include <vector>

using namespace tavolix;
using adopt::TemporaryAddresses;

namespace {

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void printSpread(const char* label, std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    if (!values.empty())
        std::printf("%s: min %.1f ms, median %.1f ms, max %.1f ms over %zu runs\n", label,
                    values.front(), values[values.size() / 2], values.back(), values.size());
}

// Until the address around `device` is up or failed; false when it failed.
bool bringUp(TemporaryAddresses& adoption, unsigned veth, Ipv4 device)
{
    adoption.request(veth, device, {device});
    while (adoption.status(veth, device)->state == TemporaryAddresses::State::Choosing) {
        WaitSet waits;
        adoption.watch(waits);
        waits.wait(Clock::now() + std::chrono::seconds(10));
        adoption.handle(waits);
    }
    return adoption.status(veth, device)->state == TemporaryAddresses::State::Up;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    if (const auto reason = test::NetnsTopology::unavailableReason()) {
        std::printf("bench_adopt: skipped: %s\n", reason->c_str());
        return 0;
    }
    test::NetnsTopology topology;
    if (!topology.addNamespace("host") || !topology.addNamespace("peer") ||
        !topology.link("host", "10.20.0.5/24", "peer", "10.20.0.6/24") ||
        test::runCommand(
            {"ip", "-n", topology.name("peer"), "addr", "add", "192.168.1.253/24", "dev", "veth0b"})
                .exitCode != 0) {
        std::printf("bench_adopt: namespaces failed: %s\n", topology.error().c_str());
        return 1;
    }
    const test::TemporaryDirectory runDirectory;
    ::setenv("TAVOLIX_RUN_DIR", runDirectory.path().c_str(), 1);
    const test::ScopedNetns inHost(topology.name("host"));
    std::vector<std::string> leftovers;
    auto adoption = TemporaryAddresses::open(leftovers);
    if (!inHost.entered() || !adoption) {
        std::printf("bench_adopt: %s\n",
                    adoption ? inHost.error().c_str() : adoption.failure().message.c_str());
        return 1;
    }
    const unsigned veth = ::if_nametoindex("veth0a");
    const struct
    {
        const char* label;
        Ipv4 device;
    } cases[] = {{"first candidate free (10.99.0.0/24)", *parseIpv4("10.99.0.50")},
                 {"first candidate taken (192.168.1.0/24)", *parseIpv4("192.168.1.64")},
                 {"link-local (169.254.0.0/16)", *parseIpv4("169.254.23.7")}};
    for (const auto& [label, device] : cases) {
        std::vector<double> up, removed;
        for (int round = 0; round < rounds; ++round) {
            const auto start = Clock::now();
            if (!bringUp(**adoption, veth, device)) {
                std::printf("%s: %s\n", label, (*adoption)->status(veth, device)->problem.c_str());
                break;
            }
            up.push_back(millisecondsSince(start));
            const auto released = Clock::now();
            (*adoption)->release(veth, device);
            removed.push_back(millisecondsSince(released));
        }
        std::printf("%s\n", label);
        printSpread("  probed and added", up);
        printSpread("  removed", removed);
    }
    return 0;
}

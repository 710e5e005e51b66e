#include "MulticastRoute.h"

#include "Ipv4.h"
#include "UniqueFd.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>

namespace tavolix::doctor {

MulticastExit lookUpMulticastExit(uint32_t group, uint16_t port, unsigned interfaceIndex)
{
    const UniqueFd socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!socket)
        return {errno, 0};
    ip_mreqn outOf{};
    outOf.imr_ifindex = static_cast<int>(interfaceIndex);
    if (::setsockopt(socket.get(), IPPROTO_IP, IP_MULTICAST_IF, &outOf, sizeof outOf) != 0)
        return {errno, 0};
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = htonl(group);
    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0)
        return {errno, 0};
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return {errno, 0};
    return {0, ntohl(local.sin_addr.s_addr)};
}

DoctorCheck checkMulticastRoute(const ProbeOptions& probes,
                                const std::vector<LocalInterface>& interfaces)
{
    const std::string group = ipv4Text(probes.group);
    DoctorCheck check{"multicast route", Verdict::Pass, {}};
    std::string leaves;
    for (const LocalInterface& local : interfaces) {
        if (!local.usable())
            continue;
        const MulticastExit exit =
            lookUpMulticastExit(probes.group, probes.discoveryPort, local.index);
        if (exit.error != 0) {
            check.verdict = Verdict::Fail;
            check.detail = "probes to " + group + " cannot leave " + local.name + ": " +
                           std::strerror(exit.error);
            return check;
        }
        if (std::find(local.addresses.begin(), local.addresses.end(), exit.source) ==
            local.addresses.end()) {
            // An address of scope link or host is not given to a datagram for a group.
            check.verdict = Verdict::Fail;
            check.detail = "probes to " + group + " leave " + local.name + " from " +
                           ipv4Text(exit.source) + ", not an address of " + local.name +
                           ": answers go there instead (is its address of scope global?)";
            return check;
        }
        leaves += (leaves.empty() ? "" : ", ") + local.name + " from " + ipv4Text(exit.source);
    }
    if (leaves.empty()) {
        check.verdict = Verdict::Unknown;
        check.detail = "no usable interface to send probes out of";
    } else {
        check.detail = "probes to " + group + " leave " + leaves;
    }
    return check;
}

} // namespace tavolix::doctor

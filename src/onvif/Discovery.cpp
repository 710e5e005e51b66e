#include "Discovery.h"

#include "DeviceProtocol.h"
#include "Probe.h"
#include "Random.h"

#include <algorithm>
#include <arpa/inet.h>

namespace tavolix::onvif {

Result<std::vector<std::string>> Discovery::start(Clock::time_point now)
{
    m_messageIds.clear();
    m_named.clear();
    m_leftOut = 0;
    m_repeatAt = now + repeat;
    return probes();
}

Result<std::vector<std::string>> Discovery::repeatProbes()
{
    m_repeatAt.reset();
    return probes();
}

Result<std::vector<std::string>> Discovery::probes()
{
    std::vector<std::string> texts;
    for (const ProbeKind kind : {ProbeKind::NetworkVideoTransmitter, ProbeKind::Device}) {
        auto id = randomMessageId();
        if (!id)
            return id.failure();
        m_messageIds.push_back(*id);
        texts.push_back(probeMessage(kind, *id));
    }
    return texts;
}

std::vector<OnvifDevice> Discovery::take(std::string_view answer,
                                         const ReceivedDatagramOrigin& origin,
                                         const std::vector<LocalInterface>& interfaces)
{
    // A flood of junk costs a search for each datagram, not a parse.
    if (!mentionsAny(answer, m_messageIds))
        return {};
    const auto matches = parseProbeMatches(answer, m_messageIds);
    if (!matches)
        return {}; // no answer to this search's probes
    const auto interface =
        std::ranges::find(interfaces, origin.interfaceIndex, &LocalInterface::index);
    if (interface == interfaces.end())
        return {}; // came in on an interface the search was not asked to use
    std::vector<Subnet> subnets;
    for (const InterfaceAddress& own : interface->addresses)
        subnets.push_back({own.address, own.mask});
    const Ipv4 sender = ntohl(origin.sender.sin_addr.s_addr);
    std::vector<OnvifDevice> found;
    for (const ProbeMatch& match : matches->matches) {
        DeviceKey key{match.address, sender};
        if (!isOnvifMatch(match) || m_named.contains(key))
            continue;
        const auto service = chooseServiceAddress(match.xaddrs, sender, subnets);
        if (!service)
            continue; // no service named, or a sender no device can be
        if (m_named.size() >= maxDevicesPerSearch) {
            ++m_leftOut;
            continue;
        }
        m_named.insert(std::move(key));
        OnvifDevice& device = found.emplace_back();
        device.match = match;
        device.service = *service;
        device.interfaceName = interface->name;
        device.interfaceIndex = interface->index;
        device.source = sender;
    }
    return found;
}

} // namespace tavolix::onvif

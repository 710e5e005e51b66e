// Devices that answered from a subnet their interface is not on: left unread without an
// adoption, else read and changed from a temporary address in their subnet.
#include "OnvifProtocol.h"

#include <algorithm>

namespace tavolix::onvif {
namespace {

bool contains(const adopt::Subnet& subnet, Ipv4 address)
{
    const Ipv4 mask = subnet.prefix == 0 ? 0 : ~Ipv4{0} << (32 - subnet.prefix);
    return (address & mask) == subnet.network;
}

// "192.168.1.64 and 169.254.23.7 on veth0, 192.168.0.90 on veth1", at most `most` addresses.
std::string placesText(const std::map<std::string, std::set<Ipv4>>& perInterface, std::size_t most)
{
    std::string text;
    std::size_t named = 0, total = 0;
    for (const auto& [interface, senders] : perInterface) {
        total += senders.size();
        if (named == most)
            continue;
        std::string addresses;
        std::size_t i = 0;
        for (auto sender = senders.begin(); sender != senders.end() && named < most;
             ++sender, ++i, ++named) {
            const bool last = std::next(sender) == senders.end() || named + 1 == most;
            addresses += (i == 0 ? "" : last ? " and " : ", ") + ipv4Text(*sender);
        }
        text += (text.empty() ? "" : ", ") + addresses + " on " + interface;
    }
    if (total > named)
        text += " and " + std::to_string(total - named) + " more";
    return text;
}

} // namespace

bool OnvifProtocol::foreign(const OnvifDevice& device) const
{
    return !isOnLink(m_interfaces, device.interfaceIndex, device.source);
}

void OnvifProtocol::startReads(const DeviceKey& key, DeviceReads& reading)
{
    const OnvifDevice& device = reading.device();
    const bool released =
        m_released.contains({device.interfaceIndex, adopt::subnetAround(device.source)});
    if (!foreign(device)) {
        sendFirstRead(key, reading);
    } else if (!m_adoption || released) {
        // Its answers cannot come back: listed from its probe answer alone.
        reading.leaveUnread();
        m_unreached.insert(key);
    } else {
        std::set<Ipv4> taken;
        for (const auto& [answered, entry] : m_readings)
            taken.insert(answered.second);
        m_adoption->request(device.interfaceIndex, device.source, taken);
        m_awaitingAddress.insert(key);
        takeAdoptions();
    }
}

void OnvifProtocol::takeAdoptions()
{
    for (auto key = m_awaitingAddress.begin(); key != m_awaitingAddress.end();) {
        DeviceReads& reading = m_readings.at(*key);
        const OnvifDevice& device = reading.device();
        const auto status = m_adoption->status(device.interfaceIndex, device.source);
        if (status && status->state == adopt::TemporaryAddresses::State::Up)
            sendFirstRead(*key, reading);
        else if (!status || status->state == adopt::TemporaryAddresses::State::Failed)
            reading.giveUp(
                systemFailure(status ? status->problem : "no temporary address reaches it"));
        else {
            ++key;
            continue;
        }
        key = m_awaitingAddress.erase(key);
    }
}

void OnvifProtocol::releaseLeftSubnets()
{
    // Per subnet reached through a temporary address: whether every change there moved its
    // device out of it. Verification then finds those devices at their new addresses.
    struct Left
    {
        Ipv4 device = 0; // one device that was reached there
        bool all = true;
    };
    std::map<std::pair<unsigned, adopt::Subnet>, Left> left;
    for (std::size_t i = 0; i < m_changes.size(); ++i) {
        const ChangeRoute& route = m_changeRoutes[i];
        if (isOnLink(m_interfaces, route.interfaceIndex, route.sender))
            continue;
        const adopt::Subnet subnet = adopt::subnetAround(route.sender);
        const bool movedOut =
            !m_changes[i].outcome() && route.newIp && !contains(subnet, *route.newIp);
        Left& entry =
            left.try_emplace({route.interfaceIndex, subnet}, Left{route.sender}).first->second;
        entry.all = entry.all && movedOut;
    }
    for (const auto& [place, subnetLeft] : left) {
        // Plain copies: clang 14 cannot capture a structured binding in a lambda.
        const unsigned interfaceIndex = place.first;
        const adopt::Subnet subnet = place.second;
        const bool readThere = std::ranges::any_of(m_readings, [&](const auto& entry) {
            const OnvifDevice& device = entry.second.device();
            return !entry.second.done() && device.interfaceIndex == interfaceIndex &&
                   contains(subnet, device.source);
        });
        if (!subnetLeft.all || readThere)
            continue;
        m_adoption->release(place.first, subnetLeft.device);
        m_released.insert(place);
    }
}

std::optional<std::string> OnvifProtocol::unreachedHint() const
{
    if (m_unreached.empty())
        return std::nullopt;
    std::map<std::string, std::set<Ipv4>> perInterface;
    for (const DeviceKey& key : m_unreached)
        perInterface[m_readings.at(key).device().interfaceName].insert(key.second);
    const bool one = m_unreached.size() == 1;
    return std::to_string(m_unreached.size()) +
           (one ? " ONVIF device answered from a subnet" : " ONVIF devices answered from subnets") +
           " this host is not on (" + placesText(perInterface, 4) +
           "); --adopt (as root) reaches " + (one ? "it" : "them");
}

} // namespace tavolix::onvif

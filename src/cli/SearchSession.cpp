#include "SearchSession.h"

#include "InterfaceReceive.h"
#include "InterfaceSend.h"
#include "ReplyParser.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <poll.h>

namespace tavolix::cli {
namespace {

std::string systemText(const std::string& what, int error)
{
    return what + ": " + std::strerror(error);
}

} // namespace

Result<> SearchSession::open(const std::vector<std::string>& interfaceNames)
{
    auto interfaces = selectInterfaces(interfaceNames);
    if (!interfaces)
        return interfaces.failure();
    m_interfaces = std::move(*interfaces);
    if (!m_socket.open())
        return systemFailure(systemText("cannot make a UDP socket", m_socket.lastError()));
    m_socket.enableBroadcast();
    if (const int error = enableArrivalInterface(m_socket.fd()); error != 0)
        return systemFailure(systemText("cannot ask for the arrival interface", error));
    if (!m_socket.bind(searchPort)) {
        const int error = m_socket.lastError();
        std::string message =
            systemText("cannot bind UDP port " + std::to_string(searchPort), error);
        if (error == EADDRINUSE)
            message += " (another program holds it; is a Tavolix window open?)";
        return systemFailure(message);
    }
    return Done{};
}

Result<> SearchSession::sendThrough(unsigned interfaceIndex, const RequestBuffer& request)
{
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(devicePort);
    target.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    if (const int failed = sendThroughInterface(m_socket.fd(), request, target, interfaceIndex);
        failed != 0)
        return systemFailure(systemText("cannot send", failed));
    return Done{};
}

Result<> SearchSession::sendSearch()
{
    static const RequestBuffer request = searchRequest();
    bool anySent = false;
    std::string error;
    for (const LocalInterface& interface : m_interfaces) {
        if (auto sent = sendThrough(interface.index, request))
            anySent = true;
        else
            error = sent.failure().message + " on " + interface.name;
    }
    if (anySent)
        return Done{};
    return systemFailure(error);
}

Result<> SearchSession::sendConfiguration(const FoundDevice& device, const RequestBuffer& request)
{
    return sendThrough(device.interfaceIndex, request);
}

void SearchSession::collect(Clock::time_point until,
                            const std::function<bool(const FoundDevice&)>& handler)
{
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0)
            return;
        pollfd watched{m_socket.fd(), POLLIN, 0};
        if (::poll(&watched, 1, static_cast<int>(left)) <= 0)
            continue; // a time-out ends the loop above; EINTR just waits again
        int error = 0;
        const auto received = receiveWithOrigin(m_socket.fd(), m_receiveBuffer, error);
        if (!received)
            continue;
        const bool chosen =
            std::any_of(m_interfaces.begin(), m_interfaces.end(), [&](const LocalInterface& i) {
                return i.index == received->interfaceIndex;
            });
        const auto record = decodeReply({m_receiveBuffer.data(), received->length});
        if (!chosen || !record)
            continue;
        const int slot = m_table.store(*record);
        if (slot == 0)
            continue; // a full table drops new devices, as the window's does
        m_origins[static_cast<std::size_t>(slot - 1)] = {received->interfaceIndex,
                                                         ntohl(received->sender.sin_addr.s_addr)};
        if (handler) {
            DeviceRecord stored = *record;
            stored.slot = slot;
            if (handler(describe(stored)))
                return;
        }
    }
}

void SearchSession::forget()
{
    m_table.clear();
    m_origins.fill(Origin{});
}

bool SearchSession::isOnLink(unsigned interfaceIndex, Ipv4 address) const
{
    return std::any_of(m_interfaces.begin(), m_interfaces.end(), [&](const LocalInterface& i) {
        return i.index == interfaceIndex && i.isOnLink(address);
    });
}

FoundDevice SearchSession::describe(const DeviceRecord& record) const
{
    FoundDevice device;
    device.record = record;
    const Origin& origin = m_origins[static_cast<std::size_t>(record.slot - 1)];
    device.interfaceIndex = origin.interfaceIndex;
    device.source = origin.source;
    const auto interface =
        std::find_if(m_interfaces.begin(), m_interfaces.end(),
                     [&](const LocalInterface& i) { return i.index == origin.interfaceIndex; });
    if (interface != m_interfaces.end())
        device.interfaceName = interface->name;
    const auto ip = parseIpv4(fieldText(record.ipAddress));
    device.onLink = ip && isOnLink(origin.interfaceIndex, *ip);
    return device;
}

std::vector<FoundDevice> SearchSession::devices() const
{
    std::vector<FoundDevice> found;
    for (int slot = 1; slot <= DeviceTable::slotCount; ++slot) {
        const auto record = m_table.recordAt(slot);
        if (record && record->slot != 0)
            found.push_back(describe(*record));
    }
    std::sort(found.begin(), found.end(), [](const FoundDevice& a, const FoundDevice& b) {
        const Ipv4 ipA = parseIpv4(fieldText(a.record.ipAddress)).value_or(0);
        const Ipv4 ipB = parseIpv4(fieldText(b.record.ipAddress)).value_or(0);
        return ipA != ipB ? ipA < ipB : a.record.mac < b.record.mac;
    });
    return found;
}

std::optional<FoundDevice> SearchSession::find(const MacAddress& mac) const
{
    for (int slot = 1; slot <= DeviceTable::slotCount; ++slot) {
        const auto record = m_table.recordAt(slot);
        if (record && record->slot != 0 && record->mac == mac)
            return describe(*record);
    }
    return std::nullopt;
}

std::string SearchSession::silenceReport(std::chrono::milliseconds listened) const
{
    std::string report = "no device answered within " + std::to_string(listened.count()) + " ms on";
    for (std::size_t i = 0; i < m_interfaces.size(); ++i) {
        report += (i == 0 ? " " : ", ") + m_interfaces[i].name;
        for (const InterfaceAddress& own : m_interfaces[i].addresses)
            report += " " + ipv4Text(own.address);
    }
    report += "; a firewall must let UDP port " + std::to_string(searchPort) +
              " in (replies come from port " + std::to_string(devicePort) + ")";
    return report;
}

} // namespace tavolix::cli

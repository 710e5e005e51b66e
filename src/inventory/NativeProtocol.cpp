#include "NativeProtocol.h"

#include "InterfaceSend.h"
#include "NativeRequest.h"
#include "NativeRules.h"
#include "Ports.h"
#include "ReplyParser.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <thread>

namespace tavolix {
namespace {

std::string textOf(std::span<const uint8_t> value)
{
    const auto end = std::find(value.begin(), value.end(), uint8_t{0});
    return {value.begin(), end};
}

} // namespace

Device deviceFromReply(const ReplyValues& values)
{
    Device device;
    device.mac = values.mac;
    device.name = textOf(values.name);
    device.ip = values.ip.value_or(0);
    device.mask = values.mask.value_or(0);
    device.gateway = values.gateway.value_or(0);
    device.httpPort = values.httpPort;
    device.mode = chosenAddressMode(values.networkMode);
    device.kind = values.kind;
    device.version = textOf(values.version);
    device.pppoeAccount = textOf(values.pppoeAccount);
    return device;
}

Result<> NativeProtocol::open(const std::vector<std::string>& interfaceNames)
{
    auto interfaces = selectInterfaces(interfaceNames);
    if (!interfaces)
        return interfaces.failure();
    m_interfaces = std::move(*interfaces);
    if (auto opened = m_socket.open(); !opened)
        return opened;
    m_socket.enableBroadcast();
    if (auto asked = enableArrivalInterface(m_socket.fd()); !asked)
        return asked;
    auto bound = m_socket.bind(searchPort);
    if (!bound && bound.failure().systemError == EADDRINUSE)
        return systemFailure(bound.failure().message +
                                 " (another program holds it; is a Tavolix window open?)",
                             EADDRINUSE);
    return bound;
}

Result<> NativeProtocol::sendThrough(unsigned interfaceIndex, const RequestBuffer& request)
{
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(devicePort);
    target.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    return sendThroughInterface(m_socket.fd(), request, target, interfaceIndex);
}

Result<> NativeProtocol::search()
{
    m_answers.clear();
    m_answersLeftOut = 0;
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

Result<DeviceSettings> NativeProtocol::checkChange(const Device& device,
                                                   const DeviceSettings& asked,
                                                   const ChangeOptions& options) const
{
    return checkNativeChange(device, asked, options);
}

Result<> NativeProtocol::sendChange(const Device& device, const DeviceSettings& asked,
                                    const ChangeOptions& options)
{
    if (!options.login)
        return refused("a change needs a login");
    const auto answer = m_answers.find({device.mac, device.ip});
    if (answer == m_answers.end())
        return incomplete(macToText(device.mac) + " did not answer the last search");
    const auto request = composeRequest(answer->second.record, asked, *options.login,
                                        options.codePage.value_or(LegacyCodePage::Windows1252));
    if (!request)
        return request.failure();
    std::this_thread::sleep_until(m_lastChangeSent + nativeSendGap);
    m_lastChangeSent = Clock::now();
    return sendThrough(device.interfaceIndex, *request);
}

void NativeProtocol::watch(WaitSet& waits)
{
    waits.watch(m_socket.fd(), POLLIN);
}

bool NativeProtocol::handle(const WaitSet& ready, const RowHandler& handler)
{
    if ((ready.ready(m_socket.fd()) & POLLIN) == 0)
        return false;
    // What is waiting, without blocking for more, and never past the wait's
    // end: a flood must not keep the search from ending.
    for (std::size_t taken = 0; taken < maxDatagramsPerStep && Clock::now() < ready.until();
         ++taken) {
        const auto received = receiveWithOrigin(m_socket.fd(), m_receiveBuffer, MSG_DONTWAIT);
        if (!received)
            return false;
        if (take({m_receiveBuffer.data(), received->length}, *received, handler))
            return true;
    }
    return false;
}

bool NativeProtocol::take(std::span<const uint8_t> bytes, const ReceivedDatagramOrigin& origin,
                          const RowHandler& handler)
{
    const auto interface =
        std::find_if(m_interfaces.begin(), m_interfaces.end(),
                     [&](const LocalInterface& i) { return i.index == origin.interfaceIndex; });
    const auto values = decodeReplyValues(bytes);
    if (interface == m_interfaces.end() || !values)
        return false;
    const AnswerKey key{values->mac, values->ip.value_or(0)};
    auto entry = m_answers.find(key);
    if (entry == m_answers.end()) {
        if (m_answers.size() >= maxDevicesPerSearch) {
            ++m_answersLeftOut;
            return false;
        }
        entry = m_answers.emplace(key, Answer{}).first;
    }
    Answer& answer = entry->second;
    answer.record = deviceRecordFrom(*values);
    Device& row = answer.row;
    row = deviceFromReply(*values);
    row.interfaceIndex = origin.interfaceIndex;
    row.interfaceName = interface->name;
    row.source = ntohl(origin.sender.sin_addr.s_addr);
    row.onLink = isOnLink(m_interfaces, row.interfaceIndex, row.ip);
    return handler && handler(row);
}

std::vector<std::string> NativeProtocol::warnings() const
{
    if (m_answersLeftOut == 0)
        return {};
    return {std::to_string(m_answersLeftOut) + " replies of devices beyond the first " +
            std::to_string(maxDevicesPerSearch) + " were left out of this search"};
}

std::vector<Device> NativeProtocol::devices() const
{
    std::vector<Device> found;
    found.reserve(m_answers.size());
    for (const auto& [mac, answer] : m_answers)
        found.push_back(answer.row);
    std::sort(found.begin(), found.end(), [](const Device& a, const Device& b) {
        return a.ip != b.ip ? a.ip < b.ip : a.mac < b.mac;
    });
    return found;
}

std::string NativeProtocol::silenceReport(std::chrono::milliseconds listened) const
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

} // namespace tavolix

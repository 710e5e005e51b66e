#include "OnvifProtocol.h"

#include "Probe.h"
#include "Random.h"
#include "Security.h"
#include "SoapFault.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <poll.h>

namespace tavolix::onvif {
namespace {

using namespace std::chrono_literals;

// A lost probe costs the search its devices: each goes out twice, this far apart.
constexpr auto probeRepeat = 250ms;
constexpr auto callTimeout = 3000ms;

// What a login lets a search read after the clock, in this order, and where
// each answer goes.
struct LoginRead
{
    DeviceCall call;
    void (*store)(OnvifDevice&, std::string_view answer);
};

const std::vector<LoginRead>& loginReads()
{
    static const std::vector<LoginRead> reads = {
        {getDeviceInformation(),
         [](OnvifDevice& d, std::string_view a) { d.information = parseDeviceInformation(a); }},
        {getNetworkInterfaces(),
         [](OnvifDevice& d, std::string_view a) { d.interfaces = parseNetworkInterfaces(a); }},
        {getNetworkDefaultGateway(),
         [](OnvifDevice& d, std::string_view a) { d.gateways = parseNetworkDefaultGateway(a); }},
        {getNetworkProtocols(),
         [](OnvifDevice& d, std::string_view a) { d.protocols = parseNetworkProtocols(a); }},
        {getScopes(), [](OnvifDevice& d, std::string_view a) { d.scopes = parseScopes(a); }},
    };
    return reads;
}

std::string systemText(const std::string& what, int error)
{
    return what + ": " + std::strerror(error);
}

} // namespace

OnvifProtocol::OnvifProtocol(std::optional<Login> login) : m_login(std::move(login)) {}

Result<> OnvifProtocol::open(const std::vector<std::string>& interfaceNames)
{
    auto interfaces = selectInterfaces(interfaceNames);
    if (!interfaces)
        return interfaces.failure();
    m_interfaces = std::move(*interfaces);
    if (const int error = m_socket.open(); error != 0) {
        std::string message =
            systemText("cannot bind UDP port " + std::to_string(probeAnswerPort), error);
        if (error == EADDRINUSE)
            message += " (another tavolixctl may be searching)";
        return systemFailure(message);
    }
    return Done{};
}

Result<> OnvifProtocol::search()
{
    m_readings.clear();
    m_calls.clear();
    m_messageIds.clear();
    sendProbes();
    m_repeatAt = Clock::now() + probeRepeat;
    return Done{};
}

void OnvifProtocol::sendProbes()
{
    for (const ProbeKind kind : {ProbeKind::NetworkVideoTransmitter, ProbeKind::Device}) {
        m_messageIds.push_back(randomMessageId());
        const std::string probe = probeMessage(kind, m_messageIds.back());
        const std::span bytes{reinterpret_cast<const uint8_t*>(probe.data()), probe.size()};
        for (const LocalInterface& interface : m_interfaces)
            static_cast<void>(m_socket.sendProbe(bytes, interface.index)); // the repeat may do
    }
}

void OnvifProtocol::collect(Clock::time_point until,
                            const std::function<bool(const Device&)>& handler)
{
    for (;;) {
        const auto now = Clock::now();
        if (now >= until)
            return;
        if (m_repeatAt != Clock::time_point{} && now >= m_repeatAt) {
            m_repeatAt = {};
            sendProbes();
        }
        const auto wake = m_repeatAt == Clock::time_point{} ? until : std::min(until, m_repeatAt);
        const int fd = m_socket.fd();
        const auto ended =
            m_http.step(std::chrono::ceil<std::chrono::milliseconds>(wake - now), {&fd, 1});
        for (const HttpResult& result : ended) {
            const auto endpoint = m_calls.find(result.id);
            if (endpoint == m_calls.end())
                continue;
            Reading& reading = m_readings.at(endpoint->second);
            m_calls.erase(endpoint);
            if (takeAnswer(reading, result) && handler && handler(rowOf(reading)))
                return;
        }
        takeProbeAnswers();
    }
}

void OnvifProtocol::takeProbeAnswers()
{
    for (;;) {
        pollfd watched{m_socket.fd(), POLLIN, 0};
        if (::poll(&watched, 1, 0) <= 0)
            return;
        int error = 0;
        const auto received = m_socket.receive(m_receiveBuffer, error);
        if (!received)
            return;
        const std::string_view text(reinterpret_cast<const char*>(m_receiveBuffer.data()),
                                    received->length);
        const auto answer = parseProbeMatches(text);
        if (!answer || std::ranges::find(m_messageIds, answer->relatesTo) == m_messageIds.end())
            continue; // no answer to this search's probes
        for (const ProbeMatch& match : answer->matches) {
            if (isOnvifMatch(match) && !m_readings.contains(match.address))
                startDevice(match, *received);
        }
    }
}

void OnvifProtocol::startDevice(ProbeMatch match, const ReceivedDatagramOrigin& origin)
{
    const auto interface =
        std::find_if(m_interfaces.begin(), m_interfaces.end(),
                     [&](const LocalInterface& i) { return i.index == origin.interfaceIndex; });
    if (interface == m_interfaces.end())
        return; // came in on an interface the search was not asked to use
    std::vector<Subnet> subnets;
    for (const InterfaceAddress& own : interface->addresses)
        subnets.push_back({own.address, own.mask});
    const auto service = chooseServiceAddress(match.xaddrs, subnets);
    if (!service)
        return; // nowhere it can be reached from here
    Reading& reading = m_readings[match.address];
    reading.device.match = std::move(match);
    reading.device.service = *service;
    reading.device.interfaceName = interface->name;
    reading.device.interfaceIndex = interface->index;
    reading.device.source = ntohl(origin.sender.sin_addr.s_addr);
    sendStep(reading);
}

void OnvifProtocol::sendStep(Reading& reading)
{
    const bool onClock = reading.step == 0 || reading.rereadingClock;
    const DeviceCall& deviceCall =
        onClock ? getSystemDateAndTime() : loginReads().at(reading.step - 1).call;
    // The clock is asked without a login: a device checks the login against it.
    const std::string request =
        onClock ? requestEnvelope(deviceCall)
                : requestEnvelope(deviceCall, *m_login, freshStamp(reading.device.clockOffset));
    const uint64_t id =
        m_http.post({reading.device.service.url, request, deviceCall.action(), callTimeout});
    m_calls[id] = reading.device.match.address;
}

bool OnvifProtocol::takeAnswer(Reading& reading, const HttpResult& result)
{
    OnvifDevice& device = reading.device;
    const auto fault = result.status == 0 ? std::nullopt : parseFault(result.body);
    const bool onClock = reading.step == 0 || reading.rereadingClock;
    if (result.status == 0) {
        device.problem = device.service.url + ": " + result.error;
    } else if (fault && fault->isNotAuthorized() && !onClock && !reading.clockReread) {
        // The device's clock may have moved since it was read; with the old
        // offset every token looks stale to it.
        reading.rereadingClock = reading.clockReread = true;
        sendStep(reading);
        return false;
    } else if (fault) {
        device.problem = fault->isNotAuthorized() ? "the device refused the login"
                                                  : "the device refused a read: " + fault->reason;
    } else {
        if (onClock) {
            if (const auto clock = parseSystemDateAndTime(result.body))
                device.clockOffset = clockOffset(*clock, SystemClock::now());
            reading.rereadingClock = false;
            reading.step = std::max<std::size_t>(reading.step, 1);
        } else {
            loginReads().at(reading.step - 1).store(device, result.body);
            ++reading.step;
        }
        if (m_login && reading.step <= loginReads().size()) {
            sendStep(reading);
            return false;
        }
    }
    reading.done = true;
    return true;
}

Device OnvifProtocol::rowOf(const Reading& reading) const
{
    Device row = deviceRow(reading.device);
    row.onLink = isOnLink(m_interfaces, row.interfaceIndex, row.ip);
    return row;
}

std::vector<Device> OnvifProtocol::devices() const
{
    std::vector<Device> found;
    for (const auto& [address, reading] : m_readings)
        found.push_back(rowOf(reading));
    std::sort(found.begin(), found.end(), [](const Device& a, const Device& b) {
        return a.ip != b.ip ? a.ip < b.ip : a.mac < b.mac;
    });
    return found;
}

std::optional<Device> OnvifProtocol::identify(const MacAddress& mac) const
{
    const std::vector<Device> found = devices();
    if (const Device* device = findDevice(found, mac))
        return *device;
    return std::nullopt;
}

Result<> OnvifProtocol::sendChange(const Device& device, const SettingValues&, const Login&,
                                   LegacyCodePage)
{
    return refused(macToText(device.mac) + ": changing ONVIF devices is not supported yet");
}

std::vector<std::string> OnvifProtocol::problems() const
{
    std::vector<std::string> found;
    for (const auto& [address, reading] : m_readings) {
        if (reading.done && reading.device.problem.empty())
            continue;
        // Named as the listing shows it, with where it was asked.
        const std::string name = rowOf(reading).name;
        const std::string& url = reading.device.service.url;
        found.push_back(
            (name.empty() ? url : name + " (" + url + ")") + ": " +
            (reading.done ? reading.device.problem : "did not answer every read in time"));
    }
    return found;
}

std::string OnvifProtocol::silenceReport(std::chrono::milliseconds listened) const
{
    std::string report =
        "no ONVIF device answered within " + std::to_string(listened.count()) + " ms on";
    for (std::size_t i = 0; i < m_interfaces.size(); ++i)
        report += (i == 0 ? " " : ", ") + m_interfaces[i].name;
    report += "; a firewall must let UDP port " + std::to_string(probeAnswerPort) +
              " in (answers to the probes sent to " + ipv4Text(discoveryGroup) + ":" +
              std::to_string(discoveryPort) + ")";
    return report;
}

} // namespace tavolix::onvif

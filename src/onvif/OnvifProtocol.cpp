#include "OnvifProtocol.h"

#include "OnvifRules.h"
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

Result<DeviceSettings> OnvifProtocol::checkChange(const Device& device, const DeviceSettings& asked,
                                                  const ChangeOptions& options) const
{
    return checkOnvifChange(device, asked, options);
}

Result<> OnvifProtocol::sendChange(const Device& device, const DeviceSettings& asked,
                                   const ChangeOptions& options)
{
    if (!options.login)
        return refused("a change needs a login");
    const std::string mac = macToText(device.mac);
    const auto reading = m_readings.find(device.endpoint);
    if (reading == m_readings.end())
        return incomplete(mac + " did not answer the last search");
    auto calls = changeCalls(reading->second.device, asked);
    if (!calls)
        return refused(mac + ": " + calls.failure().message);
    if (calls->empty())
        return Done{};
    Changing& changing = m_changes.emplace_back();
    changing.mac = device.mac;
    changing.service = reading->second.device.service;
    changing.clockOffset = reading->second.device.clockOffset;
    changing.login = *options.login;
    changing.reboot = options.reboot;
    changing.calls = std::move(*calls);
    sendChangeStep(m_changes.size() - 1);
    return Done{};
}

void OnvifProtocol::sendChangeStep(std::size_t index)
{
    const Changing& changing = m_changes[index];
    const DeviceCall call =
        changing.rereadingClock ? getSystemDateAndTime() : changing.calls[changing.next].call;
    const std::string request =
        changing.rereadingClock
            ? requestEnvelope(call)
            : requestEnvelope(call, changing.login, freshStamp(changing.clockOffset));
    m_changeCalls[m_http.post({changing.service.url, request, call.action(), callTimeout})] = index;
}

void OnvifProtocol::endChange(Changing& changing, ChangeOutcome::State state, std::string message)
{
    changing.ended = true;
    changing.outcome = ChangeOutcome{changing.mac, state, std::move(message)};
}

void OnvifProtocol::takeChangeAnswer(std::size_t index, const HttpResult& result)
{
    Changing& changing = m_changes[index];
    const std::string operation = changing.rereadingClock
                                      ? "GetSystemDateAndTime"
                                      : changing.calls[changing.next].call.operation;
    const std::string mac = macToText(changing.mac) + ": ";
    const auto fault = result.status == 0 ? std::nullopt : parseFault(result.body);
    if (result.status == 0 &&
        (operation == "SetNetworkInterfaces" || operation == "SystemReboot")) {
        // A device may move, or go down, before its answer is out; the
        // verification sees whether it took the change.
        changing.ended = true;
        return;
    }
    if (result.status == 0)
        return endChange(changing, ChangeOutcome::State::Failed,
                         mac + operation + ": " + result.error);
    if (fault && fault->isNotAuthorized() && !changing.rereadingClock && !changing.clockReread) {
        changing.rereadingClock = changing.clockReread = true;
        return sendChangeStep(index);
    }
    if (fault && fault->isNotAuthorized())
        return endChange(changing, ChangeOutcome::State::Failed,
                         mac + "the device refused the login");
    if (fault || result.status / 100 != 2)
        return endChange(changing, ChangeOutcome::State::Failed,
                         mac + "the device refused " + operation + ": " +
                             (fault ? fault->reason : "HTTP " + std::to_string(result.status)));
    if (changing.rereadingClock) {
        if (const auto clock = parseSystemDateAndTime(result.body))
            changing.clockOffset = clockOffset(*clock, SystemClock::now());
        changing.rereadingClock = false;
        return sendChangeStep(index); // the refused call again
    }
    const ChangeCall& answered = changing.calls[changing.next];
    if (answered.portAfter != 0)
        changing.service = withPort(changing.service, answered.portAfter);
    if (operation == "SetNetworkInterfaces" && parseRebootNeeded(result.body) == true) {
        if (!changing.reboot)
            return endChange(changing, ChangeOutcome::State::NeedsReboot);
        changing.calls.push_back({systemReboot()});
    }
    if (++changing.next == changing.calls.size()) {
        changing.ended = true;
        return;
    }
    sendChangeStep(index);
}

std::vector<ChangeOutcome> OnvifProtocol::finishChanges()
{
    const auto open = [&] {
        return std::any_of(m_changes.begin(), m_changes.end(),
                           [](const Changing& c) { return !c.ended; });
    };
    // Every call has its time-out, so this ends.
    while (open()) {
        for (const HttpResult& result : m_http.step(callTimeout)) {
            const auto change = m_changeCalls.find(result.id);
            if (change == m_changeCalls.end())
                continue; // a read the search left running
            const std::size_t index = change->second;
            m_changeCalls.erase(change);
            takeChangeAnswer(index, result);
        }
    }
    std::vector<ChangeOutcome> outcomes;
    for (Changing& changing : m_changes) {
        if (changing.outcome)
            outcomes.push_back(std::move(*changing.outcome));
    }
    m_changes.clear();
    return outcomes;
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

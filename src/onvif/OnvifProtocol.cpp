#include "OnvifProtocol.h"

#include "OnvifRules.h"

#include <algorithm>

namespace tavolix::onvif {

OnvifProtocol::OnvifProtocol(std::optional<Login> login, TlsCheck tls,
                             std::unique_ptr<adopt::TemporaryAddresses> adoption)
    : m_login(std::move(login)), m_adoption(std::move(adoption)), m_http(tls)
{}

Result<> OnvifProtocol::open(const std::vector<std::string>& interfaceNames)
{
    auto interfaces = selectInterfaces(interfaceNames);
    if (!interfaces)
        return interfaces.failure();
    m_interfaces = std::move(*interfaces);
    if (auto opened = m_socket.open(); !opened)
        return opened;
    std::vector<unsigned> indexes;
    for (const LocalInterface& interface : m_interfaces)
        indexes.push_back(interface.index);
    // Without it only devices that can route an answer back are found: no reason to fail.
    static_cast<void>(m_socket.listenToGroup(indexes));
    return Done{};
}

Result<> OnvifProtocol::search()
{
    m_readings.clear();
    m_readCalls.clear();
    m_unreached.clear();
    m_awaitingAddress.clear();
    m_released.clear();
    return startProbes();
}

Result<> OnvifProtocol::searchAgain()
{
    std::erase_if(m_readings, [](const auto& entry) { return entry.second.done(); });
    std::erase_if(m_readCalls, [&](const auto& call) { return !m_readings.contains(call.second); });
    std::erase_if(m_unreached, [&](const DeviceKey& key) { return !m_readings.contains(key); });
    return startProbes();
}

bool OnvifProtocol::reading() const
{
    return std::ranges::any_of(m_readings, [](const auto& entry) { return !entry.second.done(); });
}

Result<> OnvifProtocol::startProbes()
{
    auto probes = m_discovery.start(Clock::now());
    if (!probes)
        return probes.failure();
    sendProbes(probes);
    return Done{};
}

void OnvifProtocol::sendProbes(const Result<std::vector<std::string>>& probes)
{
    if (!probes)
        return; // no random message id: the first probes went out
    for (const std::string& probe : *probes) {
        const std::span bytes{reinterpret_cast<const uint8_t*>(probe.data()), probe.size()};
        for (const LocalInterface& interface : m_interfaces)
            static_cast<void>(m_socket.sendProbe(bytes, interface.index)); // the repeat may do
    }
}

void OnvifProtocol::watch(WaitSet& waits)
{
    waits.watch(m_socket.fd(), POLLIN);
    if (m_socket.groupFd() >= 0)
        waits.watch(m_socket.groupFd(), POLLIN);
    if (const auto repeat = m_discovery.repeatAt())
        waits.wakeAt(*repeat);
    m_http.watch(waits);
    if (m_adoption)
        m_adoption->watch(waits);
}

bool OnvifProtocol::handle(const WaitSet& ready, const RowHandler& handler)
{
    if (const auto repeat = m_discovery.repeatAt(); repeat && ready.due(*repeat))
        sendProbes(m_discovery.repeatProbes());
    if (m_adoption && m_adoption->handle(ready))
        takeAdoptions();
    const bool stop = takeHttpResults(ready, handler, true);
    for (const int socket : {m_socket.fd(), m_socket.groupFd()}) {
        if (socket >= 0 && (ready.ready(socket) & POLLIN) != 0)
            takeProbeAnswers(socket, ready.until());
    }
    return stop;
}

template <typename Machine, typename Key>
void OnvifProtocol::send(Machine& machine, NextCall call, std::map<uint64_t, Key>& calls,
                         const Key& key)
{
    if (!call)
        return;
    const auto id = m_http.post(*call);
    if (id)
        calls[*id] = key;
    else
        machine.giveUp(id.failure());
}

void OnvifProtocol::sendFirstRead(const DeviceKey& key, DeviceReads& reading)
{
    send(reading, reading.start(), m_readCalls, key);
}

bool OnvifProtocol::takeHttpResults(const WaitSet& ready, const RowHandler& handler, bool reads)
{
    bool stop = false;
    for (const HttpResult& result : m_http.advance(ready)) {
        if (const auto change = m_changeCalls.find(result.id); change != m_changeCalls.end()) {
            const std::size_t index = change->second;
            m_changeCalls.erase(change);
            send(m_changes[index], m_changes[index].take(result), m_changeCalls, index);
            continue;
        }
        const auto call = m_readCalls.find(result.id);
        if (call == m_readCalls.end())
            continue;
        DeviceReads& reading = m_readings.at(call->second);
        const DeviceKey key = call->second;
        m_readCalls.erase(call);
        if (!reads)
            continue; // the search's time is over: its reads stop where they are
        send(reading, reading.take(result), m_readCalls, key);
        if (reading.done() && handler && !stop)
            stop = handler(rowOf(reading.device()));
    }
    return stop;
}

void OnvifProtocol::takeProbeAnswers(int socket, Clock::time_point until)
{
    for (std::size_t taken = 0; taken < maxDatagramsPerStep && Clock::now() < until; ++taken) {
        const auto received = m_socket.receive(socket, m_receiveBuffer);
        if (!received)
            return;
        const std::string_view text(reinterpret_cast<const char*>(m_receiveBuffer.data()),
                                    received->length);
        for (OnvifDevice& device : m_discovery.take(text, *received, m_interfaces)) {
            const DeviceKey key{device.match.address, device.source};
            if (const auto running = m_readings.find(key); running != m_readings.end()) {
                if (running->second.device().service.url == device.service.url)
                    continue; // still being read there: the read goes on
                // It answers at another service address now: the read there is dropped.
                std::erase_if(m_readCalls, [&](const auto& call) { return call.second == key; });
                m_readings.erase(running);
            }
            DeviceReads& reading =
                m_readings.try_emplace(key, std::move(device), m_login).first->second;
            startReads(key, reading);
        }
    }
}

Device OnvifProtocol::rowOf(const OnvifDevice& device) const
{
    Device row = deviceRow(device);
    row.onLink = isOnLink(m_interfaces, row.interfaceIndex, row.ip);
    return row;
}

std::vector<Device> OnvifProtocol::devices() const
{
    std::vector<Device> found;
    for (const auto& [address, reading] : m_readings)
        found.push_back(rowOf(reading.device()));
    std::sort(found.begin(), found.end(), [](const Device& a, const Device& b) {
        return a.ip != b.ip ? a.ip < b.ip : a.mac < b.mac;
    });
    return found;
}

std::size_t OnvifProtocol::devicesAnsweringFrom(Ipv4 sender) const
{
    std::set<std::string> endpoints;
    for (const auto& [key, reading] : m_readings) {
        if (key.second == sender)
            endpoints.insert(key.first);
    }
    return endpoints.size();
}

Result<DeviceSettings> OnvifProtocol::checkChange(const Device& device, const DeviceSettings& asked,
                                                  const ChangeOptions& options) const
{
    if (const std::size_t sharing = devicesAnsweringFrom(device.source); sharing > 1)
        return refused(onvifAddressShared(sharing, device.source));
    return checkOnvifChange(device, asked, options);
}

Result<> OnvifProtocol::sendChange(const Device& device, const DeviceSettings& asked,
                                   const ChangeOptions& options)
{
    if (!options.login)
        return refused("a change needs a login");
    const std::string mac = macToText(device.mac);
    // The one that answered with its EndpointReference at its address.
    const auto reading = std::ranges::find_if(m_readings, [&](const auto& entry) {
        return entry.first.first == device.endpoint && rowOf(entry.second.device()).ip == device.ip;
    });
    if (reading == m_readings.end())
        return incomplete(mac + " did not answer the last search");
    auto calls = changeCalls(reading->second.device(), asked);
    if (!calls)
        return refused(mac + ": " + calls.failure().message);
    if (calls->empty())
        return Done{};
    const std::size_t index = m_changes.size();
    const OnvifDevice& read = reading->second.device();
    const DeviceSettings result = resultingSettings(device, asked);
    m_changeRoutes.push_back({read.interfaceIndex, read.source,
                              result.mode == AddressMode::Dhcp ? std::nullopt : result.ip});
    DeviceChange& change = m_changes.emplace_back(device.mac, read, std::move(*calls), options);
    send(change, change.start(), m_changeCalls, index);
    return Done{};
}

std::vector<ChangeOutcome> OnvifProtocol::finishChanges()
{
    // Every call has its time-out, so this ends; an open change has its call running.
    while (m_http.running() != 0 &&
           std::ranges::any_of(m_changes, [](const DeviceChange& c) { return !c.ended(); })) {
        WaitSet waits;
        m_http.watch(waits);
        static_cast<void>(waits.wait(Clock::time_point::max()));
        takeHttpResults(waits, {}, false);
    }
    std::vector<ChangeOutcome> outcomes;
    for (const DeviceChange& change : m_changes) {
        if (change.outcome())
            outcomes.push_back(*change.outcome());
    }
    if (m_adoption)
        releaseLeftSubnets();
    m_changes.clear();
    m_changeRoutes.clear();
    return outcomes;
}

std::vector<std::string> OnvifProtocol::problems() const
{
    std::vector<std::string> found;
    for (const auto& [key, reading] : m_readings) {
        const OnvifDevice& device = reading.device();
        if ((reading.done() && device.problem.empty()) || m_unreached.contains(key))
            continue;
        // Named as the listing shows it, with where it was asked.
        const std::string name = rowOf(device).name;
        const std::string& url = device.service.url;
        found.push_back((name.empty() ? url : name + " (" + url + ")") + ": " +
                        (reading.done() ? device.problem : "did not answer every read in time"));
    }
    return found;
}

std::vector<std::string> OnvifProtocol::warnings() const
{
    std::vector<std::string> found;
    for (const auto& [key, reading] : m_readings) {
        const ServiceAddress& service = reading.device().service;
        if (!service.xaddrHost.empty())
            found.push_back(key.first + ": its XAddr names " + service.xaddrHost + "; reached at " +
                            ipv4Text(service.host) + " instead");
    }
    if (m_discovery.leftOut() != 0)
        found.push_back(std::to_string(m_discovery.leftOut()) + " ONVIF devices beyond the first " +
                        std::to_string(maxDevicesPerSearch) + " were left out of this search");
    if (auto hint = unreachedHint())
        found.push_back(std::move(*hint));
    return found;
}

std::vector<std::string> OnvifProtocol::notes() const
{
    return m_adoption ? m_adoption->notes() : std::vector<std::string>{};
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

#pragma once

#include "DeviceChange.h"
#include "DeviceProtocol.h"
#include "DeviceReads.h"
#include "Discovery.h"
#include "HttpExchanges.h"
#include "ProbeMatch.h"
#include "ProbeSocket.h"
#include "TemporaryAddresses.h"

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <set>

namespace tavolix::onvif {

// ONVIF devices: found by WS-Discovery probes out of each chosen interface,
// then read through their device service, all devices at once. Without a
// login only the probe answer and the clock are read. It owns the sockets and
// hands what comes in to the machines: the discovery, each device's reads and
// each device's change.
// A device that answered from a subnet its interface is not on gets no HTTP
// (it could only time out), unless an adoption is given: then it is read and
// changed from a temporary address in its subnet, kept while a read or a
// change may need it.
class OnvifProtocol final : public DeviceProtocol
{
public:
    explicit OnvifProtocol(std::optional<Login> login = std::nullopt, TlsCheck tls = TlsCheck::Skip,
                           std::unique_ptr<adopt::TemporaryAddresses> adoption = nullptr);

    Result<> open(const std::vector<std::string>& interfaceNames) override;
    Result<> search() override;
    // Reads still running go on; their devices' new answers start no second read.
    Result<> searchAgain() override;
    bool reading() const override;
    void watch(WaitSet& waits) override;
    bool handle(const WaitSet& ready, const RowHandler& handler) override;
    std::vector<Device> devices() const override;
    Result<DeviceSettings> checkChange(const Device& device, const DeviceSettings& asked,
                                       const ChangeOptions& options) const override;
    Result<> sendChange(const Device& device, const DeviceSettings& asked,
                        const ChangeOptions& options) override;
    std::vector<ChangeOutcome> finishChanges() override;
    std::vector<std::string> problems() const override;
    // Devices whose XAddr named another host than the one they answered from,
    // answers of devices beyond maxDevicesPerSearch, and the devices on foreign
    // subnets that were left unread for want of --adopt.
    std::vector<std::string> warnings() const override;
    // The temporary addresses added, one line each.
    std::vector<std::string> notes() const override;
    std::string silenceReport(std::chrono::milliseconds listened) const override;

private:
    Result<> startProbes();
    void sendProbes(const Result<std::vector<std::string>>& probes);
    // Takes the probe answers waiting on the socket, at most maxDatagramsPerStep and none
    // after `until`.
    void takeProbeAnswers(int socket, Clock::time_point until);
    void sendFirstRead(const DeviceKey& key, DeviceReads& reading);
    // Starts the device's reads, or, on a foreign subnet, waits for its temporary address or
    // leaves it unread.
    void startReads(const DeviceKey& key, DeviceReads& reading);
    // Starts the reads whose temporary address came up; ends those whose address failed.
    void takeAdoptions();
    bool foreign(const OnvifDevice& device) const;
    // How many devices (EndpointReferences) answer from the address: HTTP cannot tell two
    // there apart.
    std::size_t devicesAnsweringFrom(Ipv4 sender) const;
    // Releases the temporary address of each subnet the ended changes moved every changed
    // device out of, where no read runs.
    void releaseLeftSubnets();
    // One line for the devices left unread on foreign subnets, when there are any.
    std::optional<std::string> unreachedHint() const;
    // Sends what a machine asked for next, under its id in `calls`.
    template <typename Machine, typename Key>
    void send(Machine& machine, NextCall call, std::map<uint64_t, Key>& calls, const Key& key);
    // Hands ended calls to their machines; true when the handler asked to stop.
    bool takeHttpResults(const WaitSet& ready, const RowHandler& handler, bool reads);
    Device rowOf(const OnvifDevice& device) const;

    // Where a change went: the device's sender and interface, and the address it asked for.
    struct ChangeRoute
    {
        unsigned interfaceIndex = 0;
        Ipv4 sender = 0;
        std::optional<Ipv4> newIp; // nothing: the address stays, or DHCP gives an unknown one
    };

    std::optional<Login> m_login;
    std::unique_ptr<adopt::TemporaryAddresses> m_adoption;
    ProbeSocket m_socket;
    HttpExchanges m_http;
    Discovery m_discovery;
    // A device is its endpoint address at the address its answer came from.
    std::map<DeviceKey, DeviceReads> m_readings;
    std::map<uint64_t, DeviceKey> m_readCalls; // exchange id -> its device's key
    std::set<DeviceKey> m_unreached;           // foreign, without an adoption: never read
    std::set<DeviceKey> m_awaitingAddress;     // foreign: read once their subnet's address is up
    std::set<std::pair<unsigned, adopt::Subnet>> m_released; // left by changes: not adopted again
    std::vector<DeviceChange> m_changes;                     // since the last finishChanges()
    std::vector<ChangeRoute> m_changeRoutes;                 // one per change
    std::map<uint64_t, std::size_t> m_changeCalls;           // exchange id -> index into m_changes
    std::array<uint8_t, maxProbeMatchBytes> m_receiveBuffer{};
};

} // namespace tavolix::onvif

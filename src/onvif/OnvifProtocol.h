#pragma once

#include "DeviceChange.h"
#include "DeviceProtocol.h"
#include "DeviceReads.h"
#include "Discovery.h"
#include "HttpExchanges.h"
#include "ProbeMatch.h"
#include "ProbeSocket.h"

#include <array>
#include <map>
#include <optional>

namespace tavolix::onvif {

// ONVIF devices: found by WS-Discovery probes out of each chosen interface,
// then read through their device service, all devices at once. Without a
// login only the probe answer and the clock are read. It owns the sockets and
// hands what comes in to the machines: the discovery, each device's reads and
// each device's change.
class OnvifProtocol final : public DeviceProtocol
{
public:
    explicit OnvifProtocol(std::optional<Login> login = std::nullopt,
                           TlsCheck tls = TlsCheck::Skip);

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
    // and answers of devices beyond maxDevicesPerSearch.
    std::vector<std::string> warnings() const override;
    std::string silenceReport(std::chrono::milliseconds listened) const override;

private:
    Result<> startProbes();
    void sendProbes(const Result<std::vector<std::string>>& probes);
    // Takes the probe answers waiting, at most maxDatagramsPerStep and none after `until`.
    void takeProbeAnswers(Clock::time_point until);
    // Sends what a machine asked for next, under its id in `calls`.
    template <typename Machine, typename Key>
    void send(Machine& machine, NextCall call, std::map<uint64_t, Key>& calls, const Key& key);
    // Hands ended calls to their machines; true when the handler asked to stop.
    bool takeHttpResults(const WaitSet& ready, const RowHandler& handler, bool reads);
    Device rowOf(const OnvifDevice& device) const;

    std::optional<Login> m_login;
    ProbeSocket m_socket;
    HttpExchanges m_http;
    Discovery m_discovery;
    // A device is its endpoint address at the address its answer came from.
    std::map<DeviceKey, DeviceReads> m_readings;
    std::map<uint64_t, DeviceKey> m_readCalls;     // exchange id -> its device's key
    std::vector<DeviceChange> m_changes;           // since the last finishChanges()
    std::map<uint64_t, std::size_t> m_changeCalls; // exchange id -> index into m_changes
    std::array<uint8_t, maxProbeMatchBytes> m_receiveBuffer{};
};

} // namespace tavolix::onvif

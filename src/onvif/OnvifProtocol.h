#pragma once

#include "DeviceCalls.h"
#include "DeviceProtocol.h"
#include "HttpExchanges.h"
#include "OnvifChange.h"
#include "OnvifDevice.h"
#include "ProbeSocket.h"

#include <array>
#include <map>
#include <optional>

namespace tavolix::onvif {

// ONVIF devices: found by WS-Discovery probes out of each chosen interface,
// then read through their device service, all devices at once. Without a
// login only the probe answer and the clock are read.
class OnvifProtocol final : public DeviceProtocol
{
public:
    explicit OnvifProtocol(std::optional<Login> login = std::nullopt);

    Result<> open(const std::vector<std::string>& interfaceNames) override;
    Result<> search() override;
    void collect(Clock::time_point until,
                 const std::function<bool(const Device&)>& handler = {}) override;
    std::vector<Device> devices() const override;
    Result<DeviceSettings> checkChange(const Device& device, const DeviceSettings& asked,
                                       const ChangeOptions& options) const override;
    Result<> sendChange(const Device& device, const DeviceSettings& asked,
                        const ChangeOptions& options) override;
    std::vector<ChangeOutcome> finishChanges() override;
    std::vector<std::string> problems() const override;
    std::string silenceReport(std::chrono::milliseconds listened) const override;

private:
    // Where a device's reads have got to: step 0 is the clock, then each
    // read a login allows. A refused login has the clock read again once.
    struct Reading
    {
        OnvifDevice device;
        std::size_t step = 0;
        bool rereadingClock = false;
        bool clockReread = false;
        bool done = false;
    };

    // Where a device's change has got to: its calls one after the other,
    // each with a token made in the device's time. A refused login has the
    // clock read again once, then the call sent again.
    struct Changing
    {
        MacAddress mac{};
        ServiceAddress service; // where the next call goes
        std::chrono::seconds clockOffset{0};
        Login login;
        bool reboot = false;
        std::vector<ChangeCall> calls;
        std::size_t next = 0;
        bool rereadingClock = false;
        bool clockReread = false;
        bool ended = false;
        std::optional<ChangeOutcome> outcome; // once it ended other than taken
    };

    void sendChangeStep(std::size_t index);
    void takeChangeAnswer(std::size_t index, const HttpResult& result);
    void endChange(Changing& changing, ChangeOutcome::State state, std::string message = {});

    void sendProbes();
    void takeProbeAnswers();
    void startDevice(ProbeMatch match, const ReceivedDatagramOrigin& origin);
    void sendStep(Reading& reading);
    bool takeAnswer(Reading& reading, const HttpResult& result); // true when its reads ended
    Device rowOf(const Reading& reading) const;

    std::optional<Login> m_login;
    ProbeSocket m_socket;
    HttpExchanges m_http;
    std::vector<std::string> m_messageIds;         // of this search's probes
    Clock::time_point m_repeatAt{};                // the probes go out twice
    std::map<std::string, Reading> m_readings;     // by endpoint address
    std::map<uint64_t, std::string> m_calls;       // exchange id -> endpoint address
    std::vector<Changing> m_changes;               // since the last finishChanges()
    std::map<uint64_t, std::size_t> m_changeCalls; // exchange id -> index into m_changes
    std::array<uint8_t, maxProbeMatchBytes> m_receiveBuffer{};
};

} // namespace tavolix::onvif

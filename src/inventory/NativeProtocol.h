#pragma once

#include "Datagram.h"
#include "DeviceProtocol.h"
#include "DeviceRecord.h"
#include "InterfaceReceive.h"
#include "ReplyValues.h"
#include "UdpSocket.h"

#include <array>
#include <map>

namespace tavolix {

// The devices' own protocol, as the window speaks it: a UDP socket on
// searchPort, broadcasts out of each chosen interface, replies merged by MAC
// address and IP address, without the window's 255 slots: a segment may hold
// more devices than the window can list, and two devices of one cloned
// firmware (one MAC) at two addresses are two rows. Replies that come in on
// other interfaces are not taken.
class NativeProtocol final : public DeviceProtocol
{
public:
    NativeProtocol() = default;

    Result<> open(const std::vector<std::string>& interfaceNames) override;
    Result<> search() override;
    void watch(WaitSet& waits) override;
    bool handle(const WaitSet& ready, const RowHandler& handler) override;
    std::vector<Device> devices() const override;
    Result<DeviceSettings> checkChange(const Device& device, const DeviceSettings& asked,
                                       const ChangeOptions& options) const override;
    Result<> sendChange(const Device& device, const DeviceSettings& asked,
                        const ChangeOptions& options) override;
    // Answers of devices beyond maxDevicesPerSearch, when there were any.
    std::vector<std::string> warnings() const override;
    std::string silenceReport(std::chrono::milliseconds listened) const override;

private:
    Result<> sendThrough(unsigned interfaceIndex, const RequestBuffer& request);
    // Stores one reply; true when the handler asked to stop.
    bool take(std::span<const uint8_t> bytes, const ReceivedDatagramOrigin& origin,
              const RowHandler& handler);

    // A device's latest reply: as stored for the composer, and parsed.
    struct Answer
    {
        DeviceRecord record;
        Device row;
    };

    // A device is its MAC at its IP address: a later reply replaces its entry whole.
    using AnswerKey = std::pair<MacAddress, Ipv4>;

    UdpSocket m_socket;
    std::map<AnswerKey, Answer> m_answers;
    std::size_t m_answersLeftOut = 0; // of devices beyond maxDevicesPerSearch
    std::array<uint8_t, replyCapacity> m_receiveBuffer{};
    Clock::time_point m_lastChangeSent{}; // changes keep nativeSendGap apart
};

// The row a reply's values describe; where it answered is left to the caller.
Device deviceFromReply(const ReplyValues& values);

} // namespace tavolix

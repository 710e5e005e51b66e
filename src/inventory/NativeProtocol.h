#pragma once

#include "Datagram.h"
#include "DeviceProtocol.h"
#include "DeviceRecord.h"
#include "ReplyValues.h"
#include "UdpSocket.h"

#include <array>
#include <map>

namespace tavolix {

// The devices' own protocol, as the window speaks it: a UDP socket on
// searchPort, broadcasts out of each chosen interface, replies merged by MAC
// address as the window's table merges them, but without its 255 slots: a
// segment may hold more devices than the window can list. Replies that come
// in on other interfaces are not taken.
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
    std::string silenceReport(std::chrono::milliseconds listened) const override;

private:
    Result<> sendThrough(unsigned interfaceIndex, const RequestBuffer& request);

    // A device's latest reply: as stored for the composer, and parsed.
    struct Answer
    {
        DeviceRecord record;
        Device row;
    };

    UdpSocket m_socket;
    std::map<MacAddress, Answer> m_answers; // a known MAC keeps its entry, replaced whole
    std::array<uint8_t, replyCapacity> m_receiveBuffer{};
    Clock::time_point m_lastChangeSent{}; // changes keep nativeSendGap apart
};

// The row a reply's values describe; where it answered is left to the caller.
Device deviceFromReply(const ReplyValues& values);

} // namespace tavolix

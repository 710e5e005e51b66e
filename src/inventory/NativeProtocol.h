#pragma once

#include "Datagram.h"
#include "DeviceProtocol.h"
#include "DeviceTable.h"
#include "ReplyValues.h"
#include "UdpSocket.h"

#include <array>

namespace tavolix {

// The devices' own protocol, as the window speaks it: a UDP socket on
// searchPort, broadcasts out of each chosen interface, replies merged by MAC
// address into a device table as the window's list is. Replies that come in
// on other interfaces are not taken.
class NativeProtocol final : public DeviceProtocol
{
public:
    NativeProtocol() = default;

    Result<> open(const std::vector<std::string>& interfaceNames) override;
    Result<> search() override;
    void watch(WaitSet& waits) override;
    bool handle(const WaitSet& ready, const RowHandler& handler) override;
    std::vector<Device> devices() const override;
    Result<> sendChange(const Device& device, const SettingValues& asked,
                        const ChangeOptions& options) override;
    std::string silenceReport(std::chrono::milliseconds listened) const override;

private:
    Result<> sendThrough(unsigned interfaceIndex, const RequestBuffer& request);

    UdpSocket m_socket;
    DeviceTable m_table;                                 // as stored, for the composer
    std::array<Device, DeviceTable::slotCount> m_rows{}; // the same slots, parsed
    std::array<uint8_t, replyCapacity> m_receiveBuffer{};
};

// The row a reply's values describe; where it answered is left to the caller.
Device deviceFromReply(const ReplyValues& values);

} // namespace tavolix

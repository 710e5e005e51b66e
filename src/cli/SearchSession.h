#pragma once

#include "Datagram.h"
#include "DeviceTable.h"
#include "LocalInterfaces.h"
#include "MacCodec.h"
#include "Ports.h"
#include "Result.h"
#include "UdpSocket.h"

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tavolix::cli {

using Clock = std::chrono::steady_clock;

// A device as its latest reply describes it, and where that reply came from.
struct FoundDevice
{
    DeviceRecord record;
    std::string interfaceName; // the local interface the reply came in on
    unsigned interfaceIndex = 0;
    Ipv4 source = 0;     // the reply's sender
    bool onLink = false; // the reported address lies in that interface's subnet
};

// The program's UDP socket on port 3566 and the interfaces it works on.
// Replies are merged by MAC address into a device table, as the window's
// list is; replies that come in on other interfaces are not taken.
class SearchSession final
{
public:
    SearchSession() = default;
    SearchSession(const SearchSession&) = delete;
    SearchSession& operator=(const SearchSession&) = delete;

    // Binds the socket for the named interfaces (every usable one when none
    // is named).
    Result<> open(const std::vector<std::string>& interfaceNames);

    // A search request out of every chosen interface; a failure only when it
    // went out of none.
    Result<> sendSearch();
    // A configuration request out of the interface the device answered on.
    Result<> sendConfiguration(const FoundDevice& device, const RequestBuffer& request);

    // Takes replies until `until`, or until the handler, called with each
    // merged reply, returns true.
    void collect(Clock::time_point until,
                 const std::function<bool(const FoundDevice&)>& handler = {});

    // Forgets every device, for a fresh round.
    void forget();

    std::vector<FoundDevice> devices() const; // sorted by IP address, then MAC
    std::optional<FoundDevice> find(const MacAddress& mac) const;

    // True when the address lies in a subnet of the interface with that index.
    bool isOnLink(unsigned interfaceIndex, Ipv4 address) const;

    // "no device answered within 1500 ms on eth0, eth1; ..." for stderr.
    std::string silenceReport(std::chrono::milliseconds listened) const;

private:
    struct Origin
    {
        unsigned interfaceIndex = 0;
        Ipv4 source = 0;
    };

    FoundDevice describe(const DeviceRecord& record) const;
    Result<> sendThrough(unsigned interfaceIndex, const RequestBuffer& request);

    UdpSocket m_socket;
    std::vector<LocalInterface> m_interfaces;
    DeviceTable m_table;
    std::array<Origin, DeviceTable::slotCount> m_origins{};
    std::array<uint8_t, replyCapacity> m_receiveBuffer{};
};

} // namespace tavolix::cli

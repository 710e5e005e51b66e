#pragma once

#include "Ipv4.h"
#include "UniqueFd.h"

#include <cstdint>
#include <netinet/in.h>
#include <optional>
#include <span>
#include <string>

namespace tavolix::onvifsim {

inline constexpr uint16_t discoveryPort = 3702;
inline constexpr Ipv4 discoveryGroup = 0xEFFFFFFA; // 239.255.255.250

struct ReceivedProbe
{
    std::size_t length = 0;
    sockaddr_in sender{};
};

// UDP 3702 in the WS-Discovery group on one interface. Each answer leaves
// from its camera's own address, as a camera's would.
class DiscoverySocket final
{
public:
    DiscoverySocket() = default;
    DiscoverySocket(const DiscoverySocket&) = delete;
    DiscoverySocket& operator=(const DiscoverySocket&) = delete;

    // interfaceName empty: the group on the interface the kernel picks.
    bool open(const std::string& interfaceName, std::string& error);
    int fd() const { return m_fd.get(); }

    std::optional<ReceivedProbe> receive(std::span<char> buffer) const;
    bool sendFrom(Ipv4 source, std::span<const char> bytes, const sockaddr_in& destination) const;

private:
    UniqueFd m_fd;
};

std::string endpointText(const sockaddr_in& address);

} // namespace tavolix::onvifsim

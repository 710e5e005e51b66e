#pragma once

#include "Device.h"
#include "InterfaceReceive.h"
#include "LocalInterfaces.h"
#include "OnvifDevice.h"
#include "Result.h"

#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <string_view>
#include <vector>

namespace tavolix::onvif {

using Clock = std::chrono::steady_clock;

// A device of a search: its EndpointReference and the address its answer came
// from (a cloned firmware answers with one EndpointReference from two).
using DeviceKey = std::pair<std::string, Ipv4>;

// One search's WS-Discovery: its probes, their repeat, and the answers to them
// turned into devices to read.
class Discovery final
{
public:
    // A lost probe costs the search its devices: each goes out twice, this far apart.
    static constexpr std::chrono::milliseconds repeat{250};

    // Forgets the last search; the probes of this one, each with a fresh
    // message id, to go out of every interface.
    Result<std::vector<std::string>> start(Clock::time_point now);

    // When the probes go out again, while they have not.
    std::optional<Clock::time_point> repeatAt() const { return m_repeatAt; }
    // The probes again, with fresh message ids; the repeat is then done.
    Result<std::vector<std::string>> repeatProbes();

    // The devices an answer to this search's probes names that it has not
    // named before, each with the service it is reached at: the address the
    // answer came from, whatever host its XAddrs name. A device is its
    // EndpointReference at that address: two devices that answer with one
    // (a cloned firmware) from two addresses are two. At most
    // maxDevicesPerSearch are named; an answer that does not mention this
    // search's message ids is dropped unparsed.
    std::vector<OnvifDevice> take(std::string_view answer, const ReceivedDatagramOrigin& origin,
                                  const std::vector<LocalInterface>& interfaces);

    // Devices named in answers after maxDevicesPerSearch had been.
    std::size_t leftOut() const { return m_leftOut; }

private:
    Result<std::vector<std::string>> probes();

    std::vector<std::string> m_messageIds; // of this search's probes
    std::optional<Clock::time_point> m_repeatAt;
    std::set<DeviceKey> m_named;
    std::size_t m_leftOut = 0;
};

} // namespace tavolix::onvif

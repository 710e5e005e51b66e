#pragma once

#include "AddressJournal.h"
#include "ArpProbe.h"
#include "Ipv4.h"
#include "NetlinkAddresses.h"
#include "Result.h"
#include "SignalCleanup.h"
#include "WaitSet.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace tavolix::adopt {

// The subnet a temporary address is chosen in: 169.254.0.0/16 for a link-local device,
// else the device's /24 (factory addresses are /24, and a /24 reaches a device on a wider one).
struct Subnet
{
    Ipv4 network = 0;
    uint8_t prefix = 24;
    bool operator==(const Subnet&) const = default;
    auto operator<=>(const Subnet&) const = default;
};
Subnet subnetAround(Ipv4 device);
std::string subnetText(const Subnet& subnet); // "192.168.1.0/24"

// Addresses this run adds to an interface to reach devices on subnets the host is not on, and
// removes again: when released, when this object goes, on SIGINT/SIGTERM/SIGHUP, and, for what
// a killed run left, by the next run's open() (a journal under /run/tavolix/).
class TemporaryAddresses final
{
public:
    // Fails (Cause::System) with a message naming CAP_NET_ADMIN when the process lacks
    // CAP_NET_ADMIN or CAP_NET_RAW, before anything is sent. Removes what killed runs left;
    // each removal is one line in `removedLeftovers`.
    static Result<std::unique_ptr<TemporaryAddresses>>
    open(std::vector<std::string>& removedLeftovers);
    ~TemporaryAddresses(); // removes every address still added
    TemporaryAddresses(const TemporaryAddresses&) = delete;
    TemporaryAddresses& operator=(const TemporaryAddresses&) = delete;

    enum class State
    {
        Choosing,
        Up,
        Failed
    };
    struct Status
    {
        State state = State::Choosing;
        std::optional<Ipv4> address; // when Up: the temporary address (prefix: the subnet's)
        std::string problem;         // when Failed: why, one line
    };

    // An address on the interface in the subnet around `device`; nothing new when one is
    // already chosen, up or failed there. `taken`: addresses known to be in use (every device
    // that answered); never chosen, nor the device's subnet's network/broadcast, nor .1/.254 of a
    // /24 (the usual gateways), nor any address the host already holds.
    void request(unsigned interfaceIndex, Ipv4 device, const std::set<Ipv4>& taken);
    std::optional<Status> status(unsigned interfaceIndex, Ipv4 device) const;
    // Removes that subnet's address now (a later request chooses and probes again).
    void release(unsigned interfaceIndex, Ipv4 device);

    // The ARP probes' sockets and deadlines; handle() returns true when some status changed.
    void watch(WaitSet& waits);
    bool handle(const WaitSet& ready);
    // Lines for the report, one per address added: "reached 192.168.1.0/24 on veth0 from the
    // temporary address 192.168.1.253/24 (removed again)".
    std::vector<std::string> notes() const;

private:
    // One subnet on one interface: its choice, and the address while it is added.
    struct Adoption
    {
        unsigned interfaceIndex = 0;
        std::string interfaceName;
        Subnet subnet;
        Status status;
        std::optional<ArpProbe> probe; // while choosing
        std::vector<Ipv4> candidates;  // still to probe, next last
        std::optional<HostAddress> added;
    };
    using Key = std::pair<unsigned, Subnet>;

    TemporaryAddresses(NetlinkAddresses netlink, AddressJournal journal);
    void choose(Adoption& adoption, Ipv4 device, const std::set<Ipv4>& taken);
    void probeNext(Adoption& adoption);
    void claim(Adoption& adoption);
    void fail(Adoption& adoption, std::string problem);
    void removeAdded(Adoption& adoption);

    NetlinkAddresses m_netlink;
    AddressJournal m_journal;
    std::unique_ptr<SignalCleanup> m_signals; // from the first address added
    std::map<Key, Adoption> m_adoptions;
    std::vector<std::string> m_notes; // of the addresses removed already
};

} // namespace tavolix::adopt

#include "TemporaryAddresses.h"

#include "Candidates.h"
#include "Capabilities.h"

#include <algorithm>
#include <net/if.h>

namespace tavolix::adopt {
namespace {

std::string interfaceNameOf(unsigned interfaceIndex)
{
    char name[IF_NAMESIZE] = {};
    if (::if_indextoname(interfaceIndex, name) == nullptr)
        return "interface " + std::to_string(interfaceIndex);
    return name;
}

std::string addressText(const HostAddress& address)
{
    return ipv4Text(address.address) + "/" + std::to_string(address.prefix);
}

std::string noteOf(const std::string& interfaceName, const Subnet& subnet,
                   const HostAddress& address, const std::string& fate)
{
    return "reached " + subnetText(subnet) + " on " + interfaceName +
           " from the temporary address " + addressText(address) + " (" + fate + ")";
}

} // namespace

Result<std::unique_ptr<TemporaryAddresses>>
TemporaryAddresses::open(std::vector<std::string>& removedLeftovers)
{
    if (!missingNetworkCapabilities().empty())
        return systemFailure("--adopt needs CAP_NET_ADMIN to add a temporary address (and "
                             "CAP_NET_RAW to probe that it is free): run tavolixctl as root");
    Result<NetlinkAddresses> netlink = NetlinkAddresses::open();
    if (!netlink)
        return netlink.failure();
    Result<AddressJournal> journal = AddressJournal::open();
    if (!journal)
        return journal.failure();
    removedLeftovers = removeLeftovers(AddressJournal::directory(), *netlink);
    return std::unique_ptr<TemporaryAddresses>(
        new TemporaryAddresses(std::move(*netlink), std::move(*journal)));
}

TemporaryAddresses::TemporaryAddresses(NetlinkAddresses netlink, AddressJournal journal)
    : m_netlink(std::move(netlink)), m_journal(std::move(journal))
{}

TemporaryAddresses::~TemporaryAddresses()
{
    for (auto& [key, adoption] : m_adoptions)
        removeAdded(adoption);
}

void TemporaryAddresses::request(unsigned interfaceIndex, Ipv4 device, const std::set<Ipv4>& taken)
{
    const Key key{interfaceIndex, subnetAround(device)};
    if (m_adoptions.contains(key))
        return;
    Adoption& adoption = m_adoptions[key];
    adoption.interfaceIndex = interfaceIndex;
    adoption.interfaceName = interfaceNameOf(interfaceIndex);
    adoption.subnet = key.second;
    choose(adoption, device, taken);
}

void TemporaryAddresses::choose(Adoption& adoption, Ipv4 device, const std::set<Ipv4>& taken)
{
    Result<ArpProbe> probe = ArpProbe::open(adoption.interfaceIndex, adoption.interfaceName);
    if (!probe)
        return fail(adoption, probe.failure().message);
    const Result<std::vector<HostAddress>> held = m_netlink.list();
    if (!held)
        return fail(adoption, held.failure().message);
    std::set<Ipv4> excluded = taken;
    excluded.insert(device);
    for (const HostAddress& address : *held)
        excluded.insert(address.address);
    adoption.candidates = candidateAddresses(adoption.subnet, excluded, probe->interfaceMac());
    std::reverse(adoption.candidates.begin(), adoption.candidates.end());
    adoption.probe.emplace(std::move(*probe));
    probeNext(adoption);
}

void TemporaryAddresses::probeNext(Adoption& adoption)
{
    if (adoption.candidates.empty())
        return fail(adoption, "no free address found in " + subnetText(adoption.subnet) + " on " +
                                  adoption.interfaceName);
    const Result<> started = adoption.probe->start(adoption.candidates.back());
    if (!started)
        fail(adoption, started.failure().message);
}

void TemporaryAddresses::fail(Adoption& adoption, std::string problem)
{
    adoption.status = {State::Failed, std::nullopt, std::move(problem)};
    adoption.probe.reset();
}

// Journalled and armed for the signal handler before it is added, so that no moment passes
// in which the address is on the interface and nothing would remove it.
void TemporaryAddresses::claim(Adoption& adoption)
{
    const HostAddress address{adoption.interfaceIndex, adoption.candidates.back(),
                              adoption.subnet.prefix};
    adoption.probe.reset();
    if (!m_signals) {
        Result<std::unique_ptr<SignalCleanup>> installed = SignalCleanup::install(m_journal.path());
        if (!installed)
            return fail(adoption, installed.failure().message);
        m_signals = std::move(*installed);
    }
    if (const Result<> recorded = m_journal.record({address, adoption.interfaceName}); !recorded)
        return fail(adoption, recorded.failure().message);
    if (const Result<> armed = m_signals->arm(address); !armed) {
        (void)m_journal.drop(address);
        return fail(adoption, armed.failure().message);
    }
    if (const Result<> added = m_netlink.add(address); !added) {
        m_signals->disarm(address);
        (void)m_journal.drop(address);
        return fail(adoption, added.failure().message);
    }
    // What the neighbour table knew there is from before: a camera since replaced by another
    // at the same factory address would get nothing until the old entry aged out (30 s or so).
    (void)m_netlink.forgetNeighbours(address);
    adoption.added = address;
    adoption.status = {State::Up, address.address, {}};
}

void TemporaryAddresses::removeAdded(Adoption& adoption)
{
    if (!adoption.added)
        return;
    const HostAddress address = *adoption.added;
    adoption.added.reset();
    const Result<> removed = m_netlink.remove(address);
    if (!removed) {
        // Still journalled and armed: the next run removes it.
        m_notes.push_back(noteOf(adoption.interfaceName, adoption.subnet, address,
                                 "could not be removed: " + removed.failure().message));
        return;
    }
    m_signals->disarm(address);
    const Result<> dropped = m_journal.drop(address);
    m_notes.push_back(
        noteOf(adoption.interfaceName, adoption.subnet, address,
               dropped ? "removed again" : "removed again; " + dropped.failure().message));
}

std::optional<TemporaryAddresses::Status> TemporaryAddresses::status(unsigned interfaceIndex,
                                                                     Ipv4 device) const
{
    const auto found = m_adoptions.find({interfaceIndex, subnetAround(device)});
    if (found == m_adoptions.end())
        return std::nullopt;
    return found->second.status;
}

void TemporaryAddresses::release(unsigned interfaceIndex, Ipv4 device)
{
    const auto found = m_adoptions.find({interfaceIndex, subnetAround(device)});
    if (found == m_adoptions.end())
        return;
    removeAdded(found->second);
    m_adoptions.erase(found);
}

void TemporaryAddresses::watch(WaitSet& waits)
{
    for (const auto& [key, adoption] : m_adoptions) {
        if (adoption.probe)
            adoption.probe->watch(waits);
    }
}

bool TemporaryAddresses::handle(const WaitSet& ready)
{
    bool changed = false;
    for (auto& [key, adoption] : m_adoptions) {
        if (!adoption.probe)
            continue;
        const Result<ArpProbe::Outcome> outcome = adoption.probe->handle(ready);
        if (!outcome) {
            fail(adoption, outcome.failure().message);
        } else if (*outcome == ArpProbe::Outcome::Taken) {
            adoption.candidates.pop_back();
            probeNext(adoption);
        } else if (*outcome == ArpProbe::Outcome::Free) {
            claim(adoption);
        }
        changed = changed || adoption.status.state != State::Choosing;
    }
    return changed;
}

std::vector<std::string> TemporaryAddresses::notes() const
{
    std::vector<std::string> notes = m_notes;
    for (const auto& [key, adoption] : m_adoptions) {
        if (adoption.added)
            notes.push_back(noteOf(adoption.interfaceName, adoption.subnet, *adoption.added,
                                   "removed at the end of the run"));
    }
    return notes;
}

} // namespace tavolix::adopt

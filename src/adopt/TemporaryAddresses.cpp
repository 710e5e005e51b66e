#include "TemporaryAddresses.h"

#include "Capabilities.h"

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
                   const HostAddress& address, const char* fate)
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
    removedLeftovers.clear();
    return std::unique_ptr<TemporaryAddresses>(new TemporaryAddresses(std::move(*netlink)));
}

TemporaryAddresses::TemporaryAddresses(NetlinkAddresses netlink) : m_netlink(std::move(netlink)) {}

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
    adoption.interfaceName = interfaceNameOf(interfaceIndex);
    adoption.subnet = key.second;
    choose(adoption, interfaceIndex, device, taken);
}

void TemporaryAddresses::choose(Adoption& adoption, unsigned interfaceIndex, Ipv4 device,
                                const std::set<Ipv4>& taken)
{
    std::set<Ipv4> excluded = taken;
    excluded.insert(device);
    Result<std::vector<HostAddress>> held = m_netlink.list();
    if (!held) {
        adoption.status = {State::Failed, std::nullopt, held.failure().message};
        return;
    }
    for (const HostAddress& address : *held)
        excluded.insert(address.address);
    const Ipv4 network = adoption.subnet.network;
    for (Ipv4 host = 253; host > 1; --host) {
        if (!excluded.contains(network | host)) {
            claim(adoption, {interfaceIndex, network | host, adoption.subnet.prefix});
            return;
        }
    }
    adoption.status = {State::Failed, std::nullopt,
                       "no free address found in " + subnetText(adoption.subnet) + " on " +
                           adoption.interfaceName};
}

void TemporaryAddresses::claim(Adoption& adoption, const HostAddress& address)
{
    const Result<> added = m_netlink.add(address);
    if (!added) {
        adoption.status = {State::Failed, std::nullopt, added.failure().message};
        return;
    }
    adoption.added = address;
    adoption.status = {State::Up, address.address, {}};
}

void TemporaryAddresses::removeAdded(Adoption& adoption)
{
    if (!adoption.added)
        return;
    const Result<> removed = m_netlink.remove(*adoption.added);
    m_notes.push_back(noteOf(adoption.interfaceName, adoption.subnet, *adoption.added,
                             removed ? "removed again" : "could not be removed"));
    adoption.added.reset();
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

void TemporaryAddresses::watch(WaitSet&) {}

bool TemporaryAddresses::handle(const WaitSet&)
{
    return false;
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

#include "NeighbourTable.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <libmnl/libmnl.h>
#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <memory>
#include <set>

namespace tavolix {
namespace {

struct SocketCloser
{
    void operator()(mnl_socket* socket) const { mnl_socket_close(socket); }
};
using NetlinkSocket = std::unique_ptr<mnl_socket, SocketCloser>;

// The states in which an entry's link-layer address was seen answering.
constexpr uint16_t heldStates = NUD_REACHABLE | NUD_STALE | NUD_DELAY | NUD_PROBE | NUD_PERMANENT;

// Large enough for a dump's messages, as a page is not always.
constexpr std::size_t dumpBufferSize = 32768;

struct EntryAttributes
{
    const nlattr* destination = nullptr;
    const nlattr* linkAddress = nullptr;
};

int takeAttribute(const nlattr* attribute, void* data)
{
    auto* found = static_cast<EntryAttributes*>(data);
    if (mnl_attr_get_type(attribute) == NDA_DST)
        found->destination = attribute;
    else if (mnl_attr_get_type(attribute) == NDA_LLADDR)
        found->linkAddress = attribute;
    return MNL_CB_OK;
}

int takeEntry(const nlmsghdr* message, void* data)
{
    const auto* header = static_cast<const ndmsg*>(mnl_nlmsg_get_payload(message));
    if (header->ndm_family != AF_INET || (header->ndm_state & heldStates) == 0)
        return MNL_CB_OK;
    EntryAttributes found;
    if (mnl_attr_parse(message, sizeof(ndmsg), takeAttribute, &found) != MNL_CB_OK)
        return MNL_CB_OK;
    const auto [destination, linkAddress] = found;
    NeighbourEntry entry;
    if (destination == nullptr || mnl_attr_get_payload_len(destination) != sizeof(in_addr) ||
        linkAddress == nullptr || mnl_attr_get_payload_len(linkAddress) != entry.mac.size())
        return MNL_CB_OK;
    in_addr address{};
    std::memcpy(&address, mnl_attr_get_payload(destination), sizeof(address));
    std::memcpy(entry.mac.data(), mnl_attr_get_payload(linkAddress), entry.mac.size());
    if ((entry.mac[0] & 0x01) != 0)
        return MNL_CB_OK; // a group address, as a static entry may hold: no device's own
    entry.interfaceIndex = static_cast<unsigned>(header->ndm_ifindex);
    entry.address = ntohl(address.s_addr);
    static_cast<std::vector<NeighbourEntry>*>(data)->push_back(entry);
    return MNL_CB_OK;
}

Failure netlinkFailure(const char* what)
{
    const int error = errno;
    return systemFailure(std::string("cannot read the neighbour table: ") + what + ": " +
                             std::strerror(error),
                         error);
}

} // namespace

Result<std::vector<NeighbourEntry>> readNeighbourTable()
{
    const NetlinkSocket socket(mnl_socket_open(NETLINK_ROUTE));
    if (!socket)
        return netlinkFailure("socket");
    if (mnl_socket_bind(socket.get(), 0, MNL_SOCKET_AUTOPID) < 0)
        return netlinkFailure("bind");
    std::vector<char> buffer(dumpBufferSize);
    nlmsghdr* request = mnl_nlmsg_put_header(buffer.data());
    request->nlmsg_type = RTM_GETNEIGH;
    request->nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request->nlmsg_seq = static_cast<uint32_t>(std::time(nullptr));
    const uint32_t sequence = request->nlmsg_seq;
    auto* header = static_cast<ndmsg*>(mnl_nlmsg_put_extra_header(request, sizeof(ndmsg)));
    header->ndm_family = AF_INET;
    if (mnl_socket_sendto(socket.get(), request, request->nlmsg_len) < 0)
        return netlinkFailure("send");

    std::vector<NeighbourEntry> entries;
    const unsigned portId = mnl_socket_get_portid(socket.get());
    for (;;) {
        const ssize_t received = mnl_socket_recvfrom(socket.get(), buffer.data(), buffer.size());
        if (received < 0)
            return netlinkFailure("receive");
        const int outcome = mnl_cb_run(buffer.data(), static_cast<size_t>(received), sequence,
                                       portId, takeEntry, &entries);
        if (outcome == MNL_CB_ERROR)
            return netlinkFailure("dump");
        if (outcome == MNL_CB_STOP)
            return entries;
    }
}

NeighbourMacs::NeighbourMacs(const std::vector<NeighbourEntry>& entries)
{
    std::map<MacAddress, std::set<Ipv4>> addressesOf;
    for (const NeighbourEntry& entry : entries)
        addressesOf[entry.mac].insert(entry.address);
    for (const NeighbourEntry& entry : entries) {
        if (addressesOf[entry.mac].size() == 1)
            m_macs[{entry.interfaceIndex, entry.address}] = entry.mac;
    }
}

std::optional<MacAddress> NeighbourMacs::of(unsigned interfaceIndex, Ipv4 address) const
{
    const auto found = m_macs.find({interfaceIndex, address});
    if (found == m_macs.end())
        return std::nullopt;
    return found->second;
}

} // namespace tavolix

#include "NetlinkAddresses.h"

#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <ctime>
#include <libmnl/libmnl.h>
#include <linux/if_addr.h>
#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <string>

namespace tavolix::adopt {
namespace {

// Large enough for a dump's messages, as a page is not always.
constexpr std::size_t receiveBufferSize = 32768;

Failure netlinkFailure(const std::string& what)
{
    return systemCallFailure(what, errno);
}

uint32_t networkOrder(Ipv4 address)
{
    return htonl(address);
}

Ipv4 broadcastOf(const HostAddress& address)
{
    const Ipv4 hostBits = address.prefix >= 32 ? 0 : (Ipv4{0xFFFFFFFF} >> address.prefix);
    return address.address | hostBits;
}

// The header and the attributes that name one address: RTM_NEWADDR and RTM_DELADDR alike.
nlmsghdr* putAddressRequest(void* buffer, uint16_t type, uint16_t flags, const HostAddress& address)
{
    nlmsghdr* request = mnl_nlmsg_put_header(buffer);
    request->nlmsg_type = type;
    request->nlmsg_flags = flags;
    auto* header = static_cast<ifaddrmsg*>(mnl_nlmsg_put_extra_header(request, sizeof(ifaddrmsg)));
    header->ifa_family = AF_INET;
    header->ifa_prefixlen = address.prefix;
    header->ifa_scope = RT_SCOPE_UNIVERSE;
    header->ifa_index = address.interfaceIndex;
    mnl_attr_put_u32(request, IFA_LOCAL, networkOrder(address.address));
    mnl_attr_put_u32(request, IFA_ADDRESS, networkOrder(address.address));
    return request;
}

struct AddressAttributes
{
    const nlattr* local = nullptr;
    const nlattr* address = nullptr;
};

int takeAttribute(const nlattr* attribute, void* data)
{
    auto* found = static_cast<AddressAttributes*>(data);
    if (mnl_attr_get_type(attribute) == IFA_LOCAL)
        found->local = attribute;
    else if (mnl_attr_get_type(attribute) == IFA_ADDRESS)
        found->address = attribute;
    return MNL_CB_OK;
}

int takeAddress(const nlmsghdr* message, void* data)
{
    const auto* header = static_cast<const ifaddrmsg*>(mnl_nlmsg_get_payload(message));
    if (header->ifa_family != AF_INET)
        return MNL_CB_OK;
    AddressAttributes found;
    if (mnl_attr_parse(message, sizeof(ifaddrmsg), takeAttribute, &found) != MNL_CB_OK)
        return MNL_CB_OK;
    // IFA_LOCAL is the host's own address; IFA_ADDRESS alone where there is no peer.
    const nlattr* own = found.local != nullptr ? found.local : found.address;
    if (own == nullptr || mnl_attr_get_payload_len(own) != sizeof(uint32_t))
        return MNL_CB_OK;
    static_cast<std::vector<HostAddress>*>(data)->push_back(
        {header->ifa_index, ntohl(mnl_attr_get_u32(own)), header->ifa_prefixlen});
    return MNL_CB_OK;
}

// The learnt neighbours on one interface within one subnet.
struct NeighbourFilter
{
    int interfaceIndex = 0;
    Ipv4 network = 0;
    Ipv4 mask = 0;
    std::vector<Ipv4> found;
};

int takeNeighbour(const nlmsghdr* message, void* data)
{
    auto* filter = static_cast<NeighbourFilter*>(data);
    const auto* header = static_cast<const ndmsg*>(mnl_nlmsg_get_payload(message));
    if (header->ndm_family != AF_INET || header->ndm_ifindex != filter->interfaceIndex ||
        (header->ndm_state & (NUD_PERMANENT | NUD_NOARP)) != 0)
        return MNL_CB_OK;
    const nlattr* destination = nullptr;
    const auto takeDestination = [](const nlattr* attribute, void* found) {
        if (mnl_attr_get_type(attribute) == NDA_DST)
            *static_cast<const nlattr**>(found) = attribute;
        return MNL_CB_OK;
    };
    if (mnl_attr_parse(message, sizeof(ndmsg), takeDestination, &destination) != MNL_CB_OK ||
        destination == nullptr || mnl_attr_get_payload_len(destination) != sizeof(uint32_t))
        return MNL_CB_OK;
    const Ipv4 address = ntohl(mnl_attr_get_u32(destination));
    if ((address & filter->mask) == filter->network)
        filter->found.push_back(address);
    return MNL_CB_OK;
}

nlmsghdr* putNeighbourRequest(void* buffer, uint16_t type, uint16_t flags, int interfaceIndex)
{
    nlmsghdr* request = mnl_nlmsg_put_header(buffer);
    request->nlmsg_type = type;
    request->nlmsg_flags = flags;
    auto* header = static_cast<ndmsg*>(mnl_nlmsg_put_extra_header(request, sizeof(ndmsg)));
    header->ndm_family = AF_INET;
    header->ndm_ifindex = interfaceIndex;
    return request;
}

} // namespace

void NetlinkAddresses::SocketCloser::operator()(mnl_socket* socket) const
{
    mnl_socket_close(socket);
}

NetlinkAddresses::NetlinkAddresses(std::unique_ptr<mnl_socket, SocketCloser> socket)
    : m_socket(std::move(socket)), m_sequence(static_cast<uint32_t>(std::time(nullptr)))
{}

NetlinkAddresses::~NetlinkAddresses() = default;
NetlinkAddresses::NetlinkAddresses(NetlinkAddresses&&) noexcept = default;
NetlinkAddresses& NetlinkAddresses::operator=(NetlinkAddresses&&) noexcept = default;

Result<NetlinkAddresses> NetlinkAddresses::open()
{
    std::unique_ptr<mnl_socket, SocketCloser> socket(mnl_socket_open2(NETLINK_ROUTE, SOCK_CLOEXEC));
    if (!socket)
        return netlinkFailure("cannot open a netlink socket");
    if (mnl_socket_bind(socket.get(), 0, MNL_SOCKET_AUTOPID) < 0)
        return netlinkFailure("cannot bind a netlink socket");
    return NetlinkAddresses(std::move(socket));
}

Result<> NetlinkAddresses::add(const HostAddress& address)
{
    std::array<char, addressMessageSize> buffer{};
    nlmsghdr* request = putAddressRequest(
        buffer.data(), RTM_NEWADDR, NLM_F_REQUEST | NLM_F_ACK | NLM_F_CREATE | NLM_F_EXCL, address);
    mnl_attr_put_u32(request, IFA_BROADCAST, networkOrder(broadcastOf(address)));
    return exchange(request, "cannot add " + ipv4Text(address.address) + "/" +
                                 std::to_string(address.prefix));
}

Result<> NetlinkAddresses::remove(const HostAddress& address)
{
    std::array<char, addressMessageSize> buffer{};
    nlmsghdr* request =
        putAddressRequest(buffer.data(), RTM_DELADDR, NLM_F_REQUEST | NLM_F_ACK, address);
    Result<> removed = exchange(request, "cannot remove " + ipv4Text(address.address) + "/" +
                                             std::to_string(address.prefix));
    if (!removed && removed.failure().systemError == EADDRNOTAVAIL)
        return Done{};
    return removed;
}

std::size_t NetlinkAddresses::writeRemoval(const HostAddress& address, void* buffer,
                                           std::size_t size)
{
    if (size < addressMessageSize)
        return 0;
    return putAddressRequest(buffer, RTM_DELADDR, NLM_F_REQUEST | NLM_F_ACK, address)->nlmsg_len;
}

// Sends the request and reads until its acknowledgement or the end of its dump, handing each
// answer to `take`.
Result<> NetlinkAddresses::exchange(void* request, const std::string& what, mnl_cb_t take,
                                    void* taken)
{
    auto* message = static_cast<nlmsghdr*>(request);
    message->nlmsg_seq = ++m_sequence;
    if (mnl_socket_sendto(m_socket.get(), message, message->nlmsg_len) < 0)
        return netlinkFailure(what);
    std::vector<char> buffer(receiveBufferSize);
    const unsigned portId = mnl_socket_get_portid(m_socket.get());
    for (;;) {
        const ssize_t received = mnl_socket_recvfrom(m_socket.get(), buffer.data(), buffer.size());
        if (received < 0)
            return netlinkFailure(what);
        const int outcome = mnl_cb_run(buffer.data(), static_cast<size_t>(received), m_sequence,
                                       portId, take, taken);
        if (outcome == MNL_CB_ERROR)
            return netlinkFailure(what);
        if (outcome == MNL_CB_STOP)
            return Done{};
    }
}

Result<std::vector<HostAddress>> NetlinkAddresses::list()
{
    std::array<char, addressMessageSize> buffer{};
    nlmsghdr* request = mnl_nlmsg_put_header(buffer.data());
    request->nlmsg_type = RTM_GETADDR;
    request->nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    auto* header = static_cast<ifaddrmsg*>(mnl_nlmsg_put_extra_header(request, sizeof(ifaddrmsg)));
    header->ifa_family = AF_INET;
    std::vector<HostAddress> addresses;
    const Result<> listed =
        exchange(request, "cannot list the host's addresses", takeAddress, &addresses);
    if (!listed)
        return listed.failure();
    return addresses;
}

Result<> NetlinkAddresses::forgetNeighbours(const HostAddress& address)
{
    NeighbourFilter filter;
    filter.interfaceIndex = static_cast<int>(address.interfaceIndex);
    filter.mask = address.prefix == 0 ? 0 : ~Ipv4{0} << (32 - address.prefix);
    filter.network = address.address & filter.mask;
    std::array<char, addressMessageSize> buffer{};
    const Result<> listed =
        exchange(putNeighbourRequest(buffer.data(), RTM_GETNEIGH, NLM_F_REQUEST | NLM_F_DUMP,
                                     filter.interfaceIndex),
                 "cannot list the neighbour table", takeNeighbour, &filter);
    if (!listed)
        return listed;
    for (const Ipv4 neighbour : filter.found) {
        buffer.fill(0);
        nlmsghdr* request = putNeighbourRequest(buffer.data(), RTM_DELNEIGH,
                                                NLM_F_REQUEST | NLM_F_ACK, filter.interfaceIndex);
        mnl_attr_put_u32(request, NDA_DST, networkOrder(neighbour));
        const Result<> forgotten = exchange(request, "cannot forget " + ipv4Text(neighbour));
        if (!forgotten && forgotten.failure().systemError != ENOENT)
            return forgotten;
    }
    return Done{};
}

} // namespace tavolix::adopt

#pragma once

#include "Ipv4.h"
#include "Result.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct mnl_socket;
struct nlmsghdr;

namespace tavolix::adopt {

struct HostAddress
{
    unsigned interfaceIndex = 0;
    Ipv4 address = 0;
    uint8_t prefix = 0;
    bool operator==(const HostAddress&) const = default;
};

// Large enough for one address request and its attributes.
constexpr std::size_t addressMessageSize = 128;

// The host's IPv4 addresses as the kernel's netlink route socket adds, removes and lists them.
class NetlinkAddresses final
{
public:
    static Result<NetlinkAddresses> open();
    ~NetlinkAddresses();
    NetlinkAddresses(NetlinkAddresses&&) noexcept;
    NetlinkAddresses& operator=(NetlinkAddresses&&) noexcept;

    // A global address with its broadcast, so that the kernel's prefix route reaches the subnet.
    Result<> add(const HostAddress& address);
    // An address that is gone already counts as removed.
    Result<> remove(const HostAddress& address);
    Result<std::vector<HostAddress>> list();
    // Forgets what the neighbour table learnt of the subnet of `address` on its interface (not
    // the entries set by hand): another device at a known address is then asked for afresh.
    Result<> forgetNeighbours(const HostAddress& address);

    // The RTM_DELADDR request for `address`, written into `buffer`, for a sender that cannot
    // build one then (a signal handler); its length, 0 when it does not fit.
    static std::size_t writeRemoval(const HostAddress& address, void* buffer, std::size_t size);

private:
    struct SocketCloser
    {
        void operator()(mnl_socket* socket) const;
    };
    explicit NetlinkAddresses(std::unique_ptr<mnl_socket, SocketCloser> socket);
    Result<> exchange(void* request, const std::string& what,
                      int (*take)(const nlmsghdr*, void*) = nullptr, void* taken = nullptr);

    std::unique_ptr<mnl_socket, SocketCloser> m_socket;
    uint32_t m_sequence = 0;
};

} // namespace tavolix::adopt

#include "Capabilities.h"

#include <array>
#include <cstdint>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tavolix::adopt {
namespace {

// The effective set, all 64 bits of it; empty when the kernel will not say.
uint64_t effectiveCapabilities()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    std::array<__user_cap_data_struct, _LINUX_CAPABILITY_U32S_3> data{};
    // glibc has no wrapper of its own; libcap would be a library for one call.
    if (::syscall(SYS_capget, &header, data.data()) != 0)
        return 0;
    return data[0].effective | (uint64_t{data[1].effective} << 32);
}

} // namespace

std::vector<std::string> missingNetworkCapabilities()
{
    const uint64_t effective = effectiveCapabilities();
    std::vector<std::string> missing;
    if ((effective & (uint64_t{1} << CAP_NET_ADMIN)) == 0)
        missing.emplace_back("CAP_NET_ADMIN");
    if ((effective & (uint64_t{1} << CAP_NET_RAW)) == 0)
        missing.emplace_back("CAP_NET_RAW");
    return missing;
}

} // namespace tavolix::adopt

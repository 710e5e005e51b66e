#include "Ipv4.h"

#include <arpa/inet.h>

namespace tavolix {

std::optional<Ipv4> parseIpv4(std::string_view text)
{
    if (text.size() > 15)
        return std::nullopt;
    const std::string terminated(text);
    in_addr address{};
    // glibc's inet_pton takes exactly four decimal parts and refuses leading zeros.
    if (::inet_pton(AF_INET, terminated.c_str(), &address) != 1)
        return std::nullopt;
    return ntohl(address.s_addr);
}

std::string ipv4Text(Ipv4 address)
{
    return std::to_string(address >> 24) + '.' + std::to_string((address >> 16) & 0xFF) + '.' +
           std::to_string((address >> 8) & 0xFF) + '.' + std::to_string(address & 0xFF);
}

std::string ipv4Text(const std::optional<Ipv4>& address)
{
    return address ? ipv4Text(*address) : std::string();
}

bool isContiguousMask(Ipv4 mask)
{
    const Ipv4 inverted = ~mask;
    return (inverted & (inverted + 1)) == 0;
}

bool inSameSubnet(Ipv4 a, Ipv4 b, Ipv4 mask)
{
    return (a & mask) == (b & mask);
}

bool isNetworkOrBroadcast(Ipv4 address, Ipv4 mask)
{
    if ((~mask) <= 1)
        return false;
    const Ipv4 host = address & ~mask;
    return host == 0 || host == ~mask;
}

bool isUnicastHostAddress(Ipv4 address)
{
    const Ipv4 first = address >> 24;
    return address != 0 && first != 0 && first != 127 && first < 224;
}

} // namespace tavolix

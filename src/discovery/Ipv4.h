#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavolix {

// IPv4 addresses as 32-bit numbers in host order, so that arithmetic on them
// (next address, subnet tests) reads plainly.
using Ipv4 = uint32_t;

// Strict dotted decimal: four numbers 0..255, no leading zeros, nothing else.
std::optional<Ipv4> parseIpv4(std::string_view text);
std::string ipv4Text(Ipv4 address);
// The dotted text, or an empty one when there is no address.
std::string ipv4Text(const std::optional<Ipv4>& address);

// A mask whose one bits are contiguous from the top (0.0.0.0 included).
bool isContiguousMask(Ipv4 mask);

bool inSameSubnet(Ipv4 a, Ipv4 b, Ipv4 mask);

// The subnet's network or broadcast address; masks of /31 and /32 have none.
bool isNetworkOrBroadcast(Ipv4 address, Ipv4 mask);

// An address a device can hold: not 0.0.0.0, loopback, multicast or reserved.
bool isUnicastHostAddress(Ipv4 address);

} // namespace tavolix

#pragma once

#include "MacCodec.h"

#include <optional>
#include <string_view>

namespace tavolix::onvif {

// What an ONVIF device read without a login tells of its own MAC address.

// The node of a version-1 UUID ("urn:uuid:" and 8-4-4-4-12 hex digits, either case, of the
// RFC 4122 variant) in its EndpointReference address. Nothing for other versions, and for a
// node with the multicast bit set: that one was drawn at random and is no MAC.
std::optional<MacAddress> macOfEndpointUuid(std::string_view address);

// The MAC in the interface ID of an XAddr's IPv6 link-local host (http://[fe80::...]/...)
// written in modified EUI-64 form (ff:fe in the middle, the universal/local bit flipped).
std::optional<MacAddress> macOfLinkLocalXAddr(std::string_view xaddr);

} // namespace tavolix::onvif

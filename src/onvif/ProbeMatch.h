#pragma once

#include "Xml.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavolix::onvif {

// Bounds on what one answer may hold; anything beyond them is left out.
inline constexpr std::size_t maxProbeMatchBytes = 64 * 1024;
inline constexpr std::size_t maxMatches = 16;
inline constexpr std::size_t maxTypes = 16;
inline constexpr std::size_t maxScopes = 64;
inline constexpr std::size_t maxXAddrs = 8;

// One ProbeMatch of a WS-Discovery ProbeMatches answer.
struct ProbeMatch
{
    std::string address;             // the EndpointReference's Address, the device's lasting key
    std::vector<QName> types;        // resolved where they were written
    std::vector<std::string> scopes; // as sent: percent-encoded URIs
    std::vector<std::string> xaddrs; // the device service's URLs
    unsigned metadataVersion = 0;
    bool operator==(const ProbeMatch&) const = default;
};

struct ProbeMatches
{
    std::string relatesTo; // the probe's message id
    std::vector<ProbeMatch> matches;
};

// A ProbeMatches datagram; nothing when the text is over the limit, not well-formed, has a
// DOCTYPE or is no SOAP 1.2 envelope with a ProbeMatches body, or when `probeIds` are given and
// its RelatesTo is none of them (checked before its matches are read). Matches without an
// address are left out.
std::optional<ProbeMatches> parseProbeMatches(std::string_view datagram,
                                              std::span<const std::string> probeIds = {});

// Whether the datagram's bytes hold one of the message ids at all: what no answer to those
// probes can lack, found without parsing it.
bool mentionsAny(std::string_view datagram, std::span<const std::string> probeIds);

// A device that speaks ONVIF: it names the transmitter or the ONVIF device type (by namespace,
// whatever the prefix), or has an onvif:// scope. A computer's devices-profile Device is none.
bool isOnvifMatch(const ProbeMatch& match);

} // namespace tavolix::onvif

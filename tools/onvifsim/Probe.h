#pragma once

#include "OnvifSimOptions.h"
#include "SimCamera.h"
#include "SoapNames.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavolix::onvifsim {

// A WS-Discovery Probe, its types resolved through the namespaces in scope.
struct Probe
{
    std::string messageId;
    std::vector<QualifiedName> types;
    std::vector<std::string> scopes;
};

// Nothing when the datagram is no Probe (Hello, Bye, ProbeMatches of others, junk).
std::optional<Probe> parseProbe(std::string_view datagram);

// Whether this answerer answers the probe: it has every listed type and a
// scope under every listed scope, and the filter lets the probe through.
bool answersProbe(const SimCamera& camera, const Probe& probe, ProbeFilter filter);

// The unicast ProbeMatches for one answerer.
std::string probeMatchesMessage(const SimCamera& camera, const Probe& probe, bool extraXAddrs,
                                unsigned messageNumber);

} // namespace tavolix::onvifsim

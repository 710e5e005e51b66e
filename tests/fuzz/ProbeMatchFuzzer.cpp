#include "EndpointMac.h"
#include "ProbeMatch.h"
#include "Scopes.h"
#include "ServiceAddress.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tavolix::onvif;
    // An exact-size heap copy: a read past the received bytes is caught.
    const auto answer = parseProbeMatches(std::string(reinterpret_cast<const char*>(data), size));
    const Subnet subnet{0xC0A80101, 0xFFFFFF00};
    for (const auto& match : answer ? answer->matches : std::vector<ProbeMatch>{}) {
        if (answer->matches.size() > maxMatches || match.xaddrs.size() > maxXAddrs ||
            match.scopes.size() > maxScopes || match.types.size() > maxTypes)
            std::abort();
        isOnvifMatch(match);
        scopeValue(match.scopes, "name");
        // Whatever the XAddr named, the service is the sender's, and its URL says so again.
        const auto chosen = chooseServiceAddress(match.xaddrs, 0xC0A80140, std::span(&subnet, 1));
        const auto again = chosen ? parseServiceUrl(chosen->url) : std::nullopt;
        if (chosen && (!again || again->ipv4 != 0xC0A80140 || again->path != chosen->path))
            std::abort();
        macOfEndpointUuid(match.address);
        for (const auto& xaddr : match.xaddrs)
            macOfLinkLocalXAddr(xaddr);
    }
    return 0;
}

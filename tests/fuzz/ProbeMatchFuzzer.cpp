#include "ProbeMatch.h"
#include "Scopes.h"
#include "ServiceAddress.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // An exact-size heap copy: a read past the received bytes is caught.
    const std::string datagram(reinterpret_cast<const char*>(data), size);
    const auto answer = tavolix::onvif::parseProbeMatches(datagram);
    if (!answer)
        return 0;
    using namespace tavolix::onvif;
    if (answer->matches.size() > maxMatches)
        std::abort();
    const Subnet subnet{0xC0A80101, 0xFFFFFF00};
    for (const auto& match : answer->matches) {
        if (match.xaddrs.size() > maxXAddrs || match.scopes.size() > maxScopes ||
            match.types.size() > maxTypes || match.address.size() > maxUriBytes)
            std::abort();
        isOnvifMatch(match);
        if (const auto name = scopeValue(match.scopes, "name"); name && name->size() > maxUriBytes)
            std::abort();
        const auto chosen = chooseServiceAddress(match.xaddrs, std::span(&subnet, 1));
        if (chosen && (chosen->port == 0 || chosen->path.empty() || chosen->path[0] != '/'))
            std::abort();
    }
    return 0;
}

#pragma once

#include "Ipv4.h"

#include <optional>
#include <string>
#include <vector>

namespace tavolix::onvifsim {

struct PemPair
{
    std::string key;         // PKCS#8 "PRIVATE KEY"
    std::string certificate; // "CERTIFICATE"
};

// A P-256 key and a self-signed X.509 certificate naming the addresses (as
// IP subject alternative names) and `host` when given, as a camera makes for
// itself at first start. nullopt when OpenSSL fails.
std::optional<PemPair> makeSelfSignedCertificate(const std::vector<Ipv4>& addresses,
                                                 const std::string& host);

} // namespace tavolix::onvifsim

#pragma once

#include <string>
#include <vector>

namespace tavolix::adopt {

// The names of those among CAP_NET_ADMIN (to add addresses) and CAP_NET_RAW (to send ARP
// probes) that this process lacks in its effective set; empty when it holds both.
std::vector<std::string> missingNetworkCapabilities();

} // namespace tavolix::adopt

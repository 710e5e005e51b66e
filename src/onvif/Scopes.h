#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavolix::onvif {

// A scope of the onvif:// scheme (either case), as every ONVIF device has some.
bool isOnvifScope(std::string_view scope);

// The percent-decoded rest of the first scope onvif://www.onvif.org/<category>/..., e.g.
// category "name", "hardware" or "location"; nothing when no scope has it. The bytes are kept as
// they decode, control characters too: whoever prints them escapes them.
std::optional<std::string> scopeValue(const std::vector<std::string>& scopes,
                                      std::string_view category);

// Every byte but the unreserved ones (letters, digits, "-._~") as %XX, for a scope's path.
std::string percentEncoded(std::string_view text);

// %XX sequences as bytes; a '%' without two hex digits after it stays as it is.
std::string percentDecoded(std::string_view text);

} // namespace tavolix::onvif

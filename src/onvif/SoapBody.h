#pragma once

#include <cstddef>
#include <pugixml.hpp>
#include <string_view>

namespace tavolix::onvif {

inline constexpr std::size_t maxResponseBytes = 1024 * 1024;

// Loads a device's SOAP 1.2 answer (bounded, no DOCTYPE) into document and gives its Body, or a
// null node when it is none.
pugi::xml_node loadSoapBody(pugi::xml_document& document, std::string_view text);

} // namespace tavolix::onvif

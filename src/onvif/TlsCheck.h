#pragma once

#include <cstdint>

namespace tavolix::onvif {

// Whether an https device must show a valid certificate chain for its host.
// Cameras mostly carry self-signed ones, so by default it is not checked.
enum class TlsCheck : uint8_t
{
    Skip,
    Required,
};

} // namespace tavolix::onvif

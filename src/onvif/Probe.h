#pragma once

#include <string>
#include <string_view>

namespace tavolix::onvif {

// The one type a probe asks for. Cameras answer the first; some recorders and older devices
// answer only the second, so a search sends both.
enum class ProbeKind
{
    NetworkVideoTransmitter, // dn:NetworkVideoTransmitter
    Device,                  // tds:Device
};

// The WS-Discovery Probe datagram (SOAP 1.2) for one type, with this message id
// ("uuid:..."; randomMessageId() gives a fresh one). Answers carry it in their RelatesTo.
std::string probeMessage(ProbeKind kind, std::string_view messageId);

} // namespace tavolix::onvif

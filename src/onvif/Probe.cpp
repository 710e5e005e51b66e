#include "Probe.h"

#include "Namespaces.h"
#include "Xml.h"

namespace tavolix::onvif {

namespace {

constexpr std::string_view discoveryTarget = "urn:schemas-xmlsoap-org:ws:2005:04:discovery";
constexpr std::string_view probeAction = "http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe";

} // namespace

std::string probeMessage(ProbeKind kind, std::string_view messageId)
{
    const bool transmitter = kind == ProbeKind::NetworkVideoTransmitter;
    pugi::xml_document document;
    auto envelope = document.append_child("s:Envelope");
    declareNamespace(envelope, "s", ns::soap);
    declareNamespace(envelope, "a", ns::addressing);
    declareNamespace(envelope, "d", ns::discovery);
    if (transmitter)
        declareNamespace(envelope, "dn", ns::network);
    else
        declareNamespace(envelope, "tds", ns::device);

    auto header = envelope.append_child("s:Header");
    appendTextElement(header, "a:MessageID", messageId);
    appendTextElement(header, "a:To", discoveryTarget);
    appendTextElement(header, "a:Action", probeAction);
    for (auto understood : {header.child("a:To"), header.child("a:Action")})
        understood.append_attribute("s:mustUnderstand").set_value("1");

    auto types = envelope.append_child("s:Body").append_child("d:Probe").append_child("d:Types");
    types.text().set(transmitter ? "dn:NetworkVideoTransmitter" : "tds:Device");
    return documentText(document);
}

} // namespace tavolix::onvif

#include "Probe.h"

#include "Namespaces.h"
#include "Xml.h"

namespace tavolix::onvif {

namespace {

constexpr std::string_view discoveryTarget = "urn:schemas-xmlsoap-org:ws:2005:04:discovery";
constexpr std::string_view probeAction = "http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe";

void appendText(pugi::xml_node parent, const char* name, std::string_view text)
{
    parent.append_child(name).text().set(std::string(text).c_str());
}

} // namespace

std::string probeMessage(ProbeKind kind, std::string_view messageId)
{
    const bool transmitter = kind == ProbeKind::NetworkVideoTransmitter;
    pugi::xml_document document;
    auto envelope = document.append_child("s:Envelope");
    envelope.append_attribute("xmlns:s").set_value(ns::soap.data());
    envelope.append_attribute("xmlns:a").set_value(ns::addressing.data());
    envelope.append_attribute("xmlns:d").set_value(ns::discovery.data());
    if (transmitter)
        envelope.append_attribute("xmlns:dn").set_value(ns::network.data());
    else
        envelope.append_attribute("xmlns:tds").set_value(ns::device.data());

    auto header = envelope.append_child("s:Header");
    appendText(header, "a:MessageID", messageId);
    appendText(header, "a:To", discoveryTarget);
    appendText(header, "a:Action", probeAction);
    for (auto understood : {header.child("a:To"), header.child("a:Action")})
        understood.append_attribute("s:mustUnderstand").set_value("1");

    auto types = envelope.append_child("s:Body").append_child("d:Probe").append_child("d:Types");
    types.text().set(transmitter ? "dn:NetworkVideoTransmitter" : "tds:Device");
    return documentText(document);
}

} // namespace tavolix::onvif

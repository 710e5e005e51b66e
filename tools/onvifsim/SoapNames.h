#pragma once

// Namespace URIs and prefix resolution are the simulator's own, not src/onvif's: a fault
// in the client must not be mirrored by the simulator it is tested against.

#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace tavolix::onvifsim {

namespace ns {
inline constexpr std::string_view soap12 = "http://www.w3.org/2003/05/soap-envelope";
inline constexpr std::string_view soap11 = "http://schemas.xmlsoap.org/soap/envelope/";
inline constexpr std::string_view wsa = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
inline constexpr std::string_view wsd = "http://schemas.xmlsoap.org/ws/2005/04/discovery";
inline constexpr std::string_view dn = "http://www.onvif.org/ver10/network/wsdl";
inline constexpr std::string_view tds = "http://www.onvif.org/ver10/device/wsdl";
inline constexpr std::string_view trt = "http://www.onvif.org/ver10/media/wsdl";
inline constexpr std::string_view tt = "http://www.onvif.org/ver10/schema";
inline constexpr std::string_view ter = "http://www.onvif.org/ver10/error";
inline constexpr std::string_view wsdp = "http://schemas.xmlsoap.org/ws/2006/02/devprof";
inline constexpr std::string_view wsse =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd";
inline constexpr std::string_view wsu =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd";
} // namespace ns

// pugixml keeps prefixes as written; these resolve them through the
// xmlns declarations in scope, so any prefix a client picks is understood.
std::string_view localName(const pugi::xml_node& node);
std::string namespaceOf(const pugi::xml_node& node);
// The namespace a prefix stands for where node is ("" for the default one).
std::string namespaceOfPrefix(const pugi::xml_node& node, std::string_view prefix);
// The first child element with this namespace and local name.
pugi::xml_node child(const pugi::xml_node& parent, std::string_view uri, std::string_view local);
// The first child element, whatever its name.
pugi::xml_node firstElement(const pugi::xml_node& parent);

std::string trimmedText(const pugi::xml_node& node);
std::string trimmedText(const pugi::xml_attribute& attribute);

// A qualified name from element text ("dn:NetworkVideoTransmitter"), resolved
// where it was written.
struct QualifiedName
{
    std::string uri;
    std::string local;
    bool operator==(const QualifiedName&) const = default;
};
QualifiedName resolveQualifiedName(const pugi::xml_node& where, std::string_view text);

// Appends <name>text</name> and returns it.
pugi::xml_node appendText(pugi::xml_node parent, const char* name, std::string_view text);

// A SOAP 1.2 envelope with the prefixes our replies use (s, a, d, dn, tds,
// trt, tt, ter) declared on it; header and body are ready to fill.
struct Envelope
{
    pugi::xml_document document;
    pugi::xml_node header;
    pugi::xml_node body;
    Envelope();
    std::string text() const;
};

} // namespace tavolix::onvifsim

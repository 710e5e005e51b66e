#include "SoapNames.h"

#include <sstream>

namespace tavolix::onvifsim {
namespace {

std::string_view prefixOf(std::string_view name)
{
    const auto colon = name.find(':');
    return colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
}

std::string trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

} // namespace

std::string_view localName(const pugi::xml_node& node)
{
    const std::string_view name = node.name();
    const auto colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string namespaceOfPrefix(const pugi::xml_node& node, std::string_view prefix)
{
    const std::string attribute = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
    for (pugi::xml_node at = node; at && at.type() == pugi::node_element; at = at.parent()) {
        if (const pugi::xml_attribute declared = at.attribute(attribute.c_str()))
            return declared.value();
    }
    return {};
}

std::string namespaceOf(const pugi::xml_node& node)
{
    return namespaceOfPrefix(node, prefixOf(node.name()));
}

pugi::xml_node child(const pugi::xml_node& parent, std::string_view uri, std::string_view local)
{
    for (pugi::xml_node element = parent.first_child(); element; element = element.next_sibling()) {
        if (element.type() == pugi::node_element && localName(element) == local &&
            namespaceOf(element) == uri)
            return element;
    }
    return {};
}

pugi::xml_node firstElement(const pugi::xml_node& parent)
{
    for (pugi::xml_node element = parent.first_child(); element; element = element.next_sibling()) {
        if (element.type() == pugi::node_element)
            return element;
    }
    return {};
}

std::string trimmedText(const pugi::xml_node& node)
{
    return trimmed(node.child_value());
}

std::string trimmedText(const pugi::xml_attribute& attribute)
{
    return trimmed(attribute.value());
}

QualifiedName resolveQualifiedName(const pugi::xml_node& where, std::string_view text)
{
    const std::string_view prefix = prefixOf(text);
    const std::string_view local = prefix.empty() ? text : text.substr(prefix.size() + 1);
    return {namespaceOfPrefix(where, prefix), std::string(local)};
}

pugi::xml_node appendText(pugi::xml_node parent, const char* name, std::string_view text)
{
    pugi::xml_node element = parent.append_child(name);
    element.append_child(pugi::node_pcdata).set_value(std::string(text).c_str());
    return element;
}

Envelope::Envelope()
{
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    pugi::xml_node envelope = document.append_child("s:Envelope");
    const std::pair<const char*, std::string_view> prefixes[] = {
        {"xmlns:s", ns::soap12}, {"xmlns:a", ns::wsa},   {"xmlns:d", ns::wsd},
        {"xmlns:dn", ns::dn},    {"xmlns:tds", ns::tds}, {"xmlns:trt", ns::trt},
        {"xmlns:tt", ns::tt},    {"xmlns:ter", ns::ter}};
    for (const auto& [attribute, uri] : prefixes)
        envelope.append_attribute(attribute) = std::string(uri).c_str();
    header = envelope.append_child("s:Header");
    body = envelope.append_child("s:Body");
}

std::string Envelope::text() const
{
    std::ostringstream out;
    document.save(out, "", pugi::format_raw);
    return out.str();
}

} // namespace tavolix::onvifsim

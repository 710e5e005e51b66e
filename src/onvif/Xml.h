#pragma once

#include <cstddef>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace tavolix::onvif {

// The longest texts a device's message may hold where we read them.
inline constexpr std::size_t maxFieldBytes = 256; // a name, token, address or version
inline constexpr std::size_t maxUriBytes = 512;   // an endpoint address, scope or XAddr

// A name as the namespaces recommendation defines it: the URI its prefix is bound to where it
// appears, and its local part. Two names are equal when both are, whatever the prefixes.
struct QName
{
    std::string namespaceUri;
    std::string localName;
    bool operator==(const QName&) const = default;
};

// Loads text that a device sent. Refused (false) when it is longer than maxBytes, is not
// well-formed, or carries a document type declaration: entities are never declared, so none is
// ever expanded, and a message with a DOCTYPE is not one a device should send.
bool loadUntrusted(pugi::xml_document& document, std::string_view text, std::size_t maxBytes);

// The URI the prefix is bound to by the xmlns declarations in scope at node; the default
// namespace for an empty prefix ("" when none is declared). Nothing for an unbound prefix.
std::optional<std::string_view> namespaceOfPrefix(pugi::xml_node node, std::string_view prefix);

// A QName written as content ("ter:NotAuthorized") resolved at the element holding it.
std::optional<QName> resolveQName(pugi::xml_node context, std::string_view text);

bool isElement(pugi::xml_node node, std::string_view namespaceUri, std::string_view localName);

// The first child element with that name, or a null node.
pugi::xml_node childElement(pugi::xml_node parent, std::string_view namespaceUri,
                            std::string_view localName);

// The child elements with that name, at most maxCount of them.
std::vector<pugi::xml_node> childElements(pugi::xml_node parent, std::string_view namespaceUri,
                                          std::string_view localName, std::size_t maxCount);

// The element's text without surrounding white space; nothing when longer than maxBytes.
std::optional<std::string> boundedText(pugi::xml_node element, std::size_t maxBytes);

// Text split on XML white space, at most maxCount pieces; pieces longer than maxBytes are left out.
std::vector<std::string> splitList(std::string_view text, std::size_t maxCount,
                                   std::size_t maxBytes);

// xs:boolean: "true", "false", "1", "0".
std::optional<bool> parseBoolean(std::string_view text);

// A decimal number without sign in 0..maxValue.
std::optional<unsigned> parseUnsigned(std::string_view text, unsigned maxValue);

// Writing: a child element holding text, and an xmlns declaration on an element.
pugi::xml_node appendTextElement(pugi::xml_node parent, const char* name, std::string_view text);
void declareNamespace(pugi::xml_node element, std::string_view prefix, std::string_view uri);

// The whole document as text, with an XML declaration naming UTF-8, no indentation.
std::string documentText(const pugi::xml_document& document);

} // namespace tavolix::onvif

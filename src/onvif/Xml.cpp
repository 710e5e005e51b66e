#include "Xml.h"

#include "Namespaces.h"

#include <charconv>

namespace tavolix::onvif {

namespace {

constexpr std::string_view whiteSpace = " \t\r\n";

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(whiteSpace);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(whiteSpace) - first + 1);
}

// "p:Local" as prefix and local part; a name without a colon has an empty prefix.
std::pair<std::string_view, std::string_view> splitName(std::string_view name)
{
    const auto colon = name.find(':');
    if (colon == std::string_view::npos)
        return {{}, name};
    return {name.substr(0, colon), name.substr(colon + 1)};
}

} // namespace

bool loadUntrusted(pugi::xml_document& document, std::string_view text, std::size_t maxBytes)
{
    // pugixml's default flags skip a document type declaration and expand only the five
    // predefined entities and character references, never declared ones. We refuse the
    // declaration all the same, before the parser sees it: a device has no reason to send one.
    // UTF-8 only, so no other encoding can hide it.
    if (text.size() > maxBytes || text.find("<!DOCTYPE") != std::string_view::npos)
        return false;
    const auto result =
        document.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
    return result && document.document_element();
}

std::optional<std::string_view> namespaceOfPrefix(pugi::xml_node node, std::string_view prefix)
{
    if (prefix == "xml")
        return ns::xml;
    std::string declaration = "xmlns";
    if (!prefix.empty())
        declaration.append(":").append(prefix);
    for (; node; node = node.parent()) {
        if (node.type() != pugi::node_element)
            continue;
        if (const auto attribute = node.attribute(declaration.c_str()))
            return std::string_view(attribute.value());
    }
    if (prefix.empty())
        return std::string_view();
    return std::nullopt;
}

std::optional<QName> resolveQName(pugi::xml_node context, std::string_view text)
{
    const auto [prefix, local] = splitName(trimmed(text));
    if (local.empty() || local.find(':') != std::string_view::npos)
        return std::nullopt;
    const auto uri = namespaceOfPrefix(context, prefix);
    if (!uri)
        return std::nullopt;
    return QName{std::string(*uri), std::string(local)};
}

bool isElement(pugi::xml_node node, std::string_view namespaceUri, std::string_view localName)
{
    if (node.type() != pugi::node_element)
        return false;
    const auto [prefix, local] = splitName(node.name());
    if (local != localName) // the cheap test first
        return false;
    return namespaceOfPrefix(node, prefix) == namespaceUri;
}

pugi::xml_node childElement(pugi::xml_node parent, std::string_view namespaceUri,
                            std::string_view localName)
{
    for (const auto child : parent.children()) {
        if (isElement(child, namespaceUri, localName))
            return child;
    }
    return {};
}

std::vector<pugi::xml_node> childElements(pugi::xml_node parent, std::string_view namespaceUri,
                                          std::string_view localName, std::size_t maxCount)
{
    std::vector<pugi::xml_node> found;
    for (const auto child : parent.children()) {
        if (found.size() == maxCount)
            break;
        if (isElement(child, namespaceUri, localName))
            found.push_back(child);
    }
    return found;
}

std::optional<std::string> boundedText(pugi::xml_node element, std::size_t maxBytes)
{
    const auto text = trimmed(element.text().get());
    if (text.size() > maxBytes)
        return std::nullopt;
    return std::string(text);
}

std::vector<std::string> splitList(std::string_view text, std::size_t maxCount,
                                   std::size_t maxBytes)
{
    std::vector<std::string> pieces;
    std::size_t position = 0;
    while (pieces.size() < maxCount) {
        const auto start = text.find_first_not_of(whiteSpace, position);
        if (start == std::string_view::npos)
            break;
        const auto end = std::min(text.find_first_of(whiteSpace, start), text.size());
        if (end - start <= maxBytes)
            pieces.emplace_back(text.substr(start, end - start));
        position = end;
    }
    return pieces;
}

std::optional<bool> parseBoolean(std::string_view text)
{
    text = trimmed(text);
    if (text == "true" || text == "1")
        return true;
    if (text == "false" || text == "0")
        return false;
    return std::nullopt;
}

std::optional<unsigned> parseUnsigned(std::string_view text, unsigned maxValue)
{
    text = trimmed(text);
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        value > maxValue)
        return std::nullopt;
    return value;
}

pugi::xml_node appendTextElement(pugi::xml_node parent, const char* name, std::string_view text)
{
    auto element = parent.append_child(name);
    element.text().set(std::string(text).c_str());
    return element;
}

void declareNamespace(pugi::xml_node element, std::string_view prefix, std::string_view uri)
{
    element.append_attribute(("xmlns:" + std::string(prefix)).c_str())
        .set_value(std::string(uri).c_str());
}

std::string documentText(const pugi::xml_document& document)
{
    struct StringWriter final : pugi::xml_writer
    {
        std::string text;
        void write(const void* data, std::size_t size) override
        {
            text.append(static_cast<const char*>(data), size);
        }
    } writer;
    document.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return R"(<?xml version="1.0" encoding="UTF-8"?>)" + writer.text;
}

} // namespace tavolix::onvif

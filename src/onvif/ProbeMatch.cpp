#include "ProbeMatch.h"

#include "Namespaces.h"
#include "Scopes.h"

#include <algorithm>

namespace tavolix::onvif {

namespace {

// The element's white-space separated list, each piece checked by accept.
template <typename Accept>
void readList(pugi::xml_node element, std::size_t maxCount, Accept accept)
{
    for (auto& piece : splitList(element.text().get(), maxCount, maxUriBytes))
        accept(std::move(piece));
}

std::optional<ProbeMatch> readMatch(pugi::xml_node element)
{
    ProbeMatch match;
    const auto reference = childElement(element, ns::addressing, "EndpointReference");
    const auto address =
        boundedText(childElement(reference, ns::addressing, "Address"), maxUriBytes);
    if (!address || address->empty())
        return std::nullopt;
    match.address = *address;

    const auto types = childElement(element, ns::discovery, "Types");
    readList(types, maxTypes, [&](std::string&& text) {
        if (auto name = resolveQName(types, text))
            match.types.push_back(std::move(*name));
    });
    readList(childElement(element, ns::discovery, "Scopes"), maxScopes,
             [&](std::string&& text) { match.scopes.push_back(std::move(text)); });
    readList(childElement(element, ns::discovery, "XAddrs"), maxXAddrs,
             [&](std::string&& text) { match.xaddrs.push_back(std::move(text)); });
    const auto version = childElement(element, ns::discovery, "MetadataVersion");
    match.metadataVersion = parseUnsigned(version.text().get(), UINT32_MAX).value_or(0);
    return match;
}

} // namespace

std::optional<ProbeMatches> parseProbeMatches(std::string_view datagram,
                                              std::span<const std::string> probeIds)
{
    pugi::xml_document document;
    if (!loadUntrusted(document, datagram, maxProbeMatchBytes))
        return std::nullopt;
    const auto envelope = document.document_element();
    if (!isElement(envelope, ns::soap, "Envelope"))
        return std::nullopt;
    const auto body = childElement(envelope, ns::soap, "Body");
    const auto probeMatches = childElement(body, ns::discovery, "ProbeMatches");
    if (!probeMatches)
        return std::nullopt;

    ProbeMatches answer;
    const auto header = childElement(envelope, ns::soap, "Header");
    answer.relatesTo =
        boundedText(childElement(header, ns::addressing, "RelatesTo"), maxUriBytes).value_or("");
    if (!probeIds.empty() && std::ranges::find(probeIds, answer.relatesTo) == probeIds.end())
        return std::nullopt;
    for (const auto element :
         childElements(probeMatches, ns::discovery, "ProbeMatch", maxMatches)) {
        if (auto match = readMatch(element))
            answer.matches.push_back(std::move(*match));
    }
    return answer;
}

bool mentionsAny(std::string_view datagram, std::span<const std::string> probeIds)
{
    return std::ranges::any_of(probeIds, [&](const std::string& id) {
        return !id.empty() && datagram.find(id) != std::string_view::npos;
    });
}

bool isOnvifMatch(const ProbeMatch& match)
{
    for (const auto& type : match.types) {
        if ((type.namespaceUri == ns::network && type.localName == "NetworkVideoTransmitter") ||
            (type.namespaceUri == ns::device && type.localName == "Device"))
            return true;
    }
    for (const auto& scope : match.scopes) {
        if (isOnvifScope(scope))
            return true;
    }
    return false;
}

} // namespace tavolix::onvif

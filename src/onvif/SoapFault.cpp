#include "SoapFault.h"

#include "Namespaces.h"
#include "SoapBody.h"

#include <algorithm>

namespace tavolix::onvif {

namespace {

constexpr std::size_t maxSubcodes = 4;
constexpr std::size_t maxReasonBytes = 1024;

std::optional<QName> codeValue(pugi::xml_node code)
{
    const auto value = childElement(code, ns::soap, "Value");
    const auto text = boundedText(value, maxFieldBytes);
    return text ? resolveQName(value, *text) : std::nullopt;
}

} // namespace

bool SoapFault::isNotAuthorized() const
{
    const QName notAuthorized{std::string(ns::error), "NotAuthorized"};
    return std::find(subcodes.begin(), subcodes.end(), notAuthorized) != subcodes.end();
}

std::optional<SoapFault> parseFault(std::string_view response)
{
    pugi::xml_document document;
    const auto fault = childElement(loadSoapBody(document, response), ns::soap, "Fault");
    auto code = childElement(fault, ns::soap, "Code");
    const auto value = codeValue(code);
    if (!value)
        return std::nullopt;

    SoapFault parsed{*value, {}, {}};
    for (auto subcode = childElement(code, ns::soap, "Subcode");
         subcode && parsed.subcodes.size() < maxSubcodes;
         subcode = childElement(subcode, ns::soap, "Subcode")) {
        const auto name = codeValue(subcode);
        if (!name)
            break;
        parsed.subcodes.push_back(*name);
    }
    const auto reason = childElement(fault, ns::soap, "Reason");
    parsed.reason =
        boundedText(childElement(reason, ns::soap, "Text"), maxReasonBytes).value_or("");
    return parsed;
}

} // namespace tavolix::onvif

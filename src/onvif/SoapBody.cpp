#include "SoapBody.h"

#include "Namespaces.h"
#include "Xml.h"

namespace tavolix::onvif {

pugi::xml_node loadSoapBody(pugi::xml_document& document, std::string_view text)
{
    if (!loadUntrusted(document, text, maxResponseBytes))
        return {};
    const auto envelope = document.document_element();
    if (!isElement(envelope, ns::soap, "Envelope"))
        return {};
    return childElement(envelope, ns::soap, "Body");
}

} // namespace tavolix::onvif

#pragma once

#include "SoapNames.h"
#include "UsernameToken.h"

#include <string>

namespace tavolix::onvifsim::test {

// A device-service request; the tds and tt prefixes are declared for the body.
inline std::string envelope(const std::string& header, const std::string& body)
{
    return "<s:Envelope xmlns:s='" + std::string(ns::soap12) + "' xmlns:tds='" +
           std::string(ns::tds) + "' xmlns:tt='" + std::string(ns::tt) + "'>" + header +
           "<s:Body>" + body + "</s:Body></s:Envelope>";
}

// A UsernameToken for "admin" with a PasswordDigest, made at `created`.
inline std::string tokenHeader(const std::string& password, const std::string& created)
{
    const std::vector<uint8_t> nonce = {1, 2, 3, 4};
    return "<s:Header><Security xmlns='" + std::string(ns::wsse) +
           "'><UsernameToken><Username>admin</Username><Password Type='http://docs.oasis-open.org/"
           "wss/2004/01/oasis-200401-wss-username-token-profile-1.0#PasswordDigest'>" +
           passwordDigest(nonce, created, password) + "</Password><Nonce>" + base64Encode(nonce) +
           "</Nonce><Created xmlns='" + std::string(ns::wsu) + "'>" + created +
           "</Created></UsernameToken></Security></s:Header>";
}

// A probe with MessageID uuid:p-7; declarations go on its Probe element.
inline std::string probe(const std::string& declarations = "", const std::string& types = "",
                         const std::string& scopes = "")
{
    return "<s:Envelope xmlns:s='" + std::string(ns::soap12) +
           "' xmlns:a='http://schemas.xmlsoap.org/ws/2004/08/addressing'><s:Header>"
           "<a:MessageID>uuid:p-7</a:MessageID></s:Header><s:Body>"
           "<Probe xmlns='http://schemas.xmlsoap.org/ws/2005/04/discovery' " +
           declarations + "><Types>" + types + "</Types><Scopes>" + scopes +
           "</Scopes></Probe></s:Body></s:Envelope>";
}

} // namespace tavolix::onvifsim::test

#pragma once

#include "Xml.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavolix::onvif {

// A SOAP 1.2 Fault: its code, the subcodes from the outermost in, the first reason text.
struct SoapFault
{
    QName code;                  // env:Sender, env:Receiver, ...
    std::vector<QName> subcodes; // ter:NotAuthorized, ...
    std::string reason;
    bool operator==(const SoapFault&) const = default;

    // The device refused the login (or asked for one): ter:NotAuthorized anywhere in the codes.
    bool isNotAuthorized() const;
};

// The Fault of a SOAP answer; nothing when the answer is no fault (or is malformed).
std::optional<SoapFault> parseFault(std::string_view response);

} // namespace tavolix::onvif

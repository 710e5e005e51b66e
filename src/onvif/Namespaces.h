#pragma once

#include <string_view>

namespace tavolix::onvif::ns {

// The XML namespaces of the messages, matched by URI: a device may bind any prefix to them.
inline constexpr std::string_view soap = "http://www.w3.org/2003/05/soap-envelope";
inline constexpr std::string_view addressing = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
inline constexpr std::string_view discovery = "http://schemas.xmlsoap.org/ws/2005/04/discovery";
inline constexpr std::string_view network = "http://www.onvif.org/ver10/network/wsdl";
inline constexpr std::string_view device = "http://www.onvif.org/ver10/device/wsdl";
inline constexpr std::string_view schema = "http://www.onvif.org/ver10/schema";
inline constexpr std::string_view error = "http://www.onvif.org/ver10/error";
inline constexpr std::string_view devicesProfile = "http://schemas.xmlsoap.org/ws/2006/02/devprof";
inline constexpr std::string_view secext =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd";
inline constexpr std::string_view utility =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd";
inline constexpr std::string_view xml = "http://www.w3.org/XML/1998/namespace";

} // namespace tavolix::onvif::ns

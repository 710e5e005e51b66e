#pragma once

#include "ConfigurationRequest.h"
#include "Ipv4.h"
#include "Security.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace tavolix::onvif {

using Login = ConfigurationLogin;

// The operations of the device service that are called.
enum class Operation
{
    GetSystemDateAndTime,
    GetDeviceInformation,
    GetNetworkInterfaces,
    GetNetworkDefaultGateway,
    GetNetworkProtocols,
    GetScopes,
    SetNetworkInterfaces,
    SetNetworkDefaultGateway,
    SetNetworkProtocols,
    SetScopes,
    SystemReboot,
};

// Its name: its request element's (tds:<name>), and in messages.
std::string_view operationName(Operation operation);

// One call of the device service: its operation, and how its arguments are written into its
// request element.
struct DeviceCall
{
    Operation operation = Operation::GetSystemDateAndTime;
    std::function<void(pugi::xml_node request)> writeArguments = [](pugi::xml_node) {};

    // The SOAP action, for the HTTP Content-Type's action parameter.
    std::string action() const;
};

// An interface's new IPv4 setting: DHCP, or a manual address and prefix.
struct InterfaceChange
{
    std::string token; // the interface's token, as GetNetworkInterfaces gave it
    bool enabled = true;
    bool dhcp = false;
    Ipv4 address = 0; // when not DHCP
    unsigned prefixLength = 24;
};

struct NetworkProtocol
{
    std::string name; // "HTTP", "HTTPS", "RTSP"
    bool enabled = false;
    std::vector<uint16_t> ports;
    bool operator==(const NetworkProtocol&) const = default;
};

DeviceCall getSystemDateAndTime();
DeviceCall getDeviceInformation();
DeviceCall getNetworkInterfaces();
DeviceCall getNetworkDefaultGateway();
DeviceCall getNetworkProtocols();
DeviceCall getScopes();
DeviceCall setNetworkInterfaces(const InterfaceChange& change);
DeviceCall setNetworkDefaultGateway(const std::vector<Ipv4>& gateways);
// Every protocol given is set; the device keeps those not named as they are.
DeviceCall setNetworkProtocols(const std::vector<NetworkProtocol>& protocols);
// Replaces the configurable scopes with these URIs.
DeviceCall setScopes(const std::vector<std::string>& scopes);
DeviceCall systemReboot();

// The SOAP 1.2 request text of a call without a login, as GetSystemDateAndTime is asked: the
// device's clock comes before any token.
std::string requestEnvelope(const DeviceCall& call);

// The same with a UsernameToken header for the login, made with this stamp (freshStamp()).
std::string requestEnvelope(const DeviceCall& call, const Login& login, const TokenStamp& stamp);

} // namespace tavolix::onvif

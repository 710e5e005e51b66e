#include "DeviceCalls.h"

#include "Namespaces.h"
#include "Xml.h"

namespace tavolix::onvif {

namespace {

const char* booleanText(bool value)
{
    return value ? "true" : "false";
}

DeviceCall plainCall(Operation operation)
{
    return DeviceCall{operation};
}

std::string envelopeText(const DeviceCall& call, const Login* login, const TokenStamp& stamp)
{
    pugi::xml_document document;
    auto envelope = document.append_child("s:Envelope");
    declareNamespace(envelope, "s", ns::soap);
    declareNamespace(envelope, "tds", ns::device);
    declareNamespace(envelope, "tt", ns::schema);
    if (login)
        appendSecurityHeader(envelope.append_child("s:Header"), login->account, login->password,
                             stamp);
    auto request = envelope.append_child("s:Body").append_child(
        ("tds:" + std::string(operationName(call.operation))).c_str());
    call.writeArguments(request);
    return documentText(document);
}

} // namespace

std::string_view operationName(Operation operation)
{
    switch (operation) {
    case Operation::GetSystemDateAndTime:
        return "GetSystemDateAndTime";
    case Operation::GetDeviceInformation:
        return "GetDeviceInformation";
    case Operation::GetNetworkInterfaces:
        return "GetNetworkInterfaces";
    case Operation::GetNetworkDefaultGateway:
        return "GetNetworkDefaultGateway";
    case Operation::GetNetworkProtocols:
        return "GetNetworkProtocols";
    case Operation::GetScopes:
        return "GetScopes";
    case Operation::SetNetworkInterfaces:
        return "SetNetworkInterfaces";
    case Operation::SetNetworkDefaultGateway:
        return "SetNetworkDefaultGateway";
    case Operation::SetNetworkProtocols:
        return "SetNetworkProtocols";
    case Operation::SetScopes:
        return "SetScopes";
    case Operation::SystemReboot:
        return "SystemReboot";
    }
    return {};
}

std::string DeviceCall::action() const
{
    return std::string(ns::device) + "/" + std::string(operationName(operation));
}

DeviceCall getSystemDateAndTime()
{
    return plainCall(Operation::GetSystemDateAndTime);
}

DeviceCall getDeviceInformation()
{
    return plainCall(Operation::GetDeviceInformation);
}

DeviceCall getNetworkInterfaces()
{
    return plainCall(Operation::GetNetworkInterfaces);
}

DeviceCall getNetworkDefaultGateway()
{
    return plainCall(Operation::GetNetworkDefaultGateway);
}

DeviceCall getNetworkProtocols()
{
    return plainCall(Operation::GetNetworkProtocols);
}

DeviceCall getScopes()
{
    return plainCall(Operation::GetScopes);
}

DeviceCall systemReboot()
{
    return plainCall(Operation::SystemReboot);
}

DeviceCall setNetworkInterfaces(const InterfaceChange& change)
{
    return {Operation::SetNetworkInterfaces, [change](pugi::xml_node request) {
                appendTextElement(request, "tds:InterfaceToken", change.token);
                auto settings = request.append_child("tds:NetworkInterface");
                appendTextElement(settings, "tt:Enabled", booleanText(change.enabled));
                auto ipv4 = settings.append_child("tt:IPv4");
                appendTextElement(ipv4, "tt:Enabled", "true");
                if (!change.dhcp) {
                    auto manual = ipv4.append_child("tt:Manual");
                    appendTextElement(manual, "tt:Address", ipv4Text(change.address));
                    appendTextElement(manual, "tt:PrefixLength",
                                      std::to_string(change.prefixLength));
                }
                appendTextElement(ipv4, "tt:DHCP", booleanText(change.dhcp));
            }};
}

DeviceCall setNetworkDefaultGateway(const std::vector<Ipv4>& gateways)
{
    return {Operation::SetNetworkDefaultGateway, [gateways](pugi::xml_node request) {
                for (const Ipv4 gateway : gateways)
                    appendTextElement(request, "tds:IPv4Address", ipv4Text(gateway));
            }};
}

DeviceCall setNetworkProtocols(const std::vector<NetworkProtocol>& protocols)
{
    return {Operation::SetNetworkProtocols, [protocols](pugi::xml_node request) {
                for (const auto& protocol : protocols) {
                    auto element = request.append_child("tds:NetworkProtocols");
                    appendTextElement(element, "tt:Name", protocol.name);
                    appendTextElement(element, "tt:Enabled", booleanText(protocol.enabled));
                    for (const uint16_t port : protocol.ports)
                        appendTextElement(element, "tt:Port", std::to_string(port));
                }
            }};
}

DeviceCall setScopes(const std::vector<std::string>& scopes)
{
    return {Operation::SetScopes, [scopes](pugi::xml_node request) {
                for (const auto& scope : scopes)
                    appendTextElement(request, "tds:Scopes", scope);
            }};
}

std::string requestEnvelope(const DeviceCall& call)
{
    return envelopeText(call, nullptr, {});
}

std::string requestEnvelope(const DeviceCall& call, const Login& login, const TokenStamp& stamp)
{
    return envelopeText(call, &login, stamp);
}

} // namespace tavolix::onvif

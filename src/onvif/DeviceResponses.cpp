#include "DeviceResponses.h"

#include "Namespaces.h"
#include "SoapBody.h"
#include "Xml.h"

namespace tavolix::onvif {

namespace {

// Each parser reads one answer element, tds:<operation>Response, in the Body of a document it
// owns; everything below is read with bounds.
class Response final
{
public:
    Response(std::string_view text, std::string_view operation)
        : m_element(childElement(loadSoapBody(m_document, text), ns::device,
                                 std::string(operation) + "Response"))
    {}
    Response(const Response&) = delete;
    Response& operator=(const Response&) = delete;

    explicit operator bool() const { return !m_element.empty(); }
    pugi::xml_node element() const { return m_element; }

private:
    pugi::xml_document m_document;
    pugi::xml_node m_element;
};

pugi::xml_node schemaChild(pugi::xml_node parent, std::string_view localName)
{
    return childElement(parent, ns::schema, localName);
}

std::string fieldText(pugi::xml_node element)
{
    return boundedText(element, maxFieldBytes).value_or("");
}

std::optional<bool> booleanOf(pugi::xml_node element)
{
    return parseBoolean(element.text().get());
}

std::optional<Ipv4> addressOf(pugi::xml_node element)
{
    return parseIpv4(fieldText(element));
}

// The entries of one origin in IPv4/Config (tt:PrefixedIPv4Address), up to the interface's bound.
void readAddresses(pugi::xml_node config, const char* name, AddressOrigin origin,
                   std::vector<DeviceAddress>& addresses)
{
    const std::size_t room = maxAddressesPerInterface - addresses.size();
    for (const auto element : childElements(config, ns::schema, name, room)) {
        const auto address = addressOf(schemaChild(element, "Address"));
        const auto prefix = parseUnsigned(schemaChild(element, "PrefixLength").text().get(), 32);
        if (address && prefix)
            addresses.push_back({*address, *prefix, origin});
    }
}

// "00:1A:2B:3C:4D:5E" or with hyphens, or twelve hex digits.
std::optional<MacAddress> parseHardwareAddress(std::string_view text)
{
    if (text.size() != 17)
        return textToMac(text);
    std::string digits;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i % 3 != 2)
            digits += text[i];
        else if (text[i] != text[2] || (text[i] != ':' && text[i] != '-'))
            return std::nullopt;
    }
    return textToMac(digits);
}

// Nothing for an interface whose token is too long to give back in a change.
std::optional<NetworkInterface> interfaceOf(pugi::xml_node element)
{
    NetworkInterface result;
    result.token = element.attribute("token").value();
    if (result.token.size() > maxFieldBytes)
        return std::nullopt;
    result.enabled = booleanOf(schemaChild(element, "Enabled")).value_or(false);
    result.mac =
        parseHardwareAddress(fieldText(schemaChild(schemaChild(element, "Info"), "HwAddress")));
    const auto ipv4 = schemaChild(element, "IPv4");
    result.ipv4Enabled = booleanOf(schemaChild(ipv4, "Enabled")).value_or(false);
    const auto config = schemaChild(ipv4, "Config");
    result.dhcp = booleanOf(schemaChild(config, "DHCP")).value_or(false);
    readAddresses(config, "Manual", AddressOrigin::Manual, result.addresses);
    readAddresses(config, "LinkLocal", AddressOrigin::LinkLocal, result.addresses);
    readAddresses(config, "FromDHCP", AddressOrigin::Dhcp, result.addresses);
    return result;
}

} // namespace

std::optional<SystemClock::time_point> parseSystemDateAndTime(std::string_view response)
{
    using namespace std::chrono;
    const Response answer(response, "GetSystemDateAndTime");
    const auto utc =
        schemaChild(childElement(answer.element(), ns::device, "SystemDateAndTime"), "UTCDateTime");
    const auto date = schemaChild(utc, "Date");
    const auto time = schemaChild(utc, "Time");
    const auto number = [](pugi::xml_node parent, const char* name, unsigned max) {
        return parseUnsigned(schemaChild(parent, name).text().get(), max);
    };
    // The clock counts nanoseconds from 1970 in 64 bits: years past 2262 do not fit.
    const auto y = number(date, "Year", 2200), mo = number(date, "Month", 12),
               d = number(date, "Day", 31), h = number(time, "Hour", 23),
               mi = number(time, "Minute", 59), s = number(time, "Second", 60);
    if (!y || !mo || !d || !h || !mi || !s)
        return std::nullopt;
    const year_month_day day{year{static_cast<int>(*y)}, month{*mo}, std::chrono::day{*d}};
    if (!day.ok() || *y < 1970)
        return std::nullopt;
    return sys_days{day} + hours{*h} + minutes{*mi} + seconds{*s};
}

std::chrono::seconds clockOffset(SystemClock::time_point deviceUtc, SystemClock::time_point local)
{
    // A device tells whole seconds: its clock stood half a second past the
    // one it told, on average. Without that a clock in step reads as -1.
    using namespace std::chrono_literals;
    return std::chrono::round<std::chrono::seconds>(deviceUtc + 500ms - local);
}

std::optional<DeviceInformation> parseDeviceInformation(std::string_view response)
{
    const Response answer(response, "GetDeviceInformation");
    if (!answer)
        return std::nullopt;
    const auto field = [&](const char* name) {
        return fieldText(childElement(answer.element(), ns::device, name));
    };
    return DeviceInformation{field("Manufacturer"), field("Model"), field("FirmwareVersion"),
                             field("SerialNumber"), field("HardwareId")};
}

std::optional<std::vector<NetworkInterface>> parseNetworkInterfaces(std::string_view response)
{
    const Response answer(response, "GetNetworkInterfaces");
    if (!answer)
        return std::nullopt;
    std::vector<NetworkInterface> interfaces;
    for (const auto element :
         childElements(answer.element(), ns::device, "NetworkInterfaces", maxInterfaces)) {
        if (auto parsed = interfaceOf(element))
            interfaces.push_back(std::move(*parsed));
    }
    return interfaces;
}

std::optional<std::vector<Ipv4>> parseNetworkDefaultGateway(std::string_view response)
{
    const Response answer(response, "GetNetworkDefaultGateway");
    if (!answer)
        return std::nullopt;
    const auto gateway = childElement(answer.element(), ns::device, "NetworkGateway");
    std::vector<Ipv4> gateways;
    for (const auto element : childElements(gateway, ns::schema, "IPv4Address", maxGateways)) {
        if (const auto address = addressOf(element))
            gateways.push_back(*address);
    }
    return gateways;
}

std::optional<std::vector<NetworkProtocol>> parseNetworkProtocols(std::string_view response)
{
    const Response answer(response, "GetNetworkProtocols");
    if (!answer)
        return std::nullopt;
    std::vector<NetworkProtocol> protocols;
    for (const auto element :
         childElements(answer.element(), ns::device, "NetworkProtocols", maxProtocols)) {
        NetworkProtocol protocol{fieldText(schemaChild(element, "Name")),
                                 booleanOf(schemaChild(element, "Enabled")).value_or(false),
                                 {}};
        for (const auto port : childElements(element, ns::schema, "Port", maxPortsPerProtocol)) {
            if (const auto number = parseUnsigned(port.text().get(), UINT16_MAX))
                protocol.ports.push_back(static_cast<uint16_t>(*number));
        }
        protocols.push_back(std::move(protocol));
    }
    return protocols;
}

std::optional<std::vector<Scope>> parseScopes(std::string_view response)
{
    const Response answer(response, "GetScopes");
    if (!answer)
        return std::nullopt;
    std::vector<Scope> scopes;
    for (const auto element :
         childElements(answer.element(), ns::device, "Scopes", maxScopeEntries)) {
        const auto uri = boundedText(schemaChild(element, "ScopeItem"), maxUriBytes);
        if (uri && !uri->empty())
            scopes.push_back({fieldText(schemaChild(element, "ScopeDef")) == "Fixed", *uri});
    }
    return scopes;
}

std::optional<std::string> answerProblem(long status, std::string_view body, Operation operation)
{
    const std::string name = std::string(operationName(operation)) + "Response";
    if (status / 100 == 2 && Response(body, operationName(operation)))
        return std::nullopt;
    pugi::xml_document document;
    const bool soap = !loadSoapBody(document, body).empty();
    return "answered HTTP " + std::to_string(status) + (soap ? " without a " + name : ", not SOAP");
}

std::optional<bool> parseRebootNeeded(std::string_view response)
{
    const Response answer(response, "SetNetworkInterfaces");
    if (!answer)
        return std::nullopt;
    return booleanOf(childElement(answer.element(), ns::device, "RebootNeeded"));
}

} // namespace tavolix::onvif

#include "DeviceService.h"

#include "SoapNames.h"

#include <charconv>
#include <map>
#include <utility>

namespace tavolix::onvifsim {
namespace {

constexpr unsigned senderFaultStatus = 400;
constexpr unsigned receiverFaultStatus = 500;

struct Fault
{
    bool sender = true;
    std::string subcode; // "ter:NotAuthorized"
    std::string detail;  // "ter:InvalidArgVal" below it, may be empty
    std::string reason;
};

void fillFault(CallOutcome& outcome, const Fault& fault, std::string note)
{
    Envelope envelope;
    envelope.header.append_child("a:Action").text() =
        "http://www.w3.org/2005/08/addressing/soap/fault";
    pugi::xml_node faultNode = envelope.body.append_child("s:Fault");
    pugi::xml_node code = faultNode.append_child("s:Code");
    appendText(code, "s:Value", fault.sender ? "s:Sender" : "s:Receiver");
    pugi::xml_node subcode = code.append_child("s:Subcode");
    appendText(subcode, "s:Value", fault.subcode);
    if (!fault.detail.empty())
        appendText(subcode.append_child("s:Subcode"), "s:Value", fault.detail);
    appendText(faultNode.append_child("s:Reason"), "s:Text", fault.reason)
        .append_attribute("xml:lang") = "en";
    outcome.httpStatus = fault.sender ? senderFaultStatus : receiverFaultStatus;
    outcome.reply = envelope.text();
    outcome.note = "fault " + std::move(note);
}

std::string boolText(bool value)
{
    return value ? "true" : "false";
}

std::optional<bool> parseBool(const pugi::xml_node& node)
{
    const std::string text = trimmedText(node);
    if (text == "true" || text == "1")
        return true;
    if (text == "false" || text == "0")
        return false;
    return std::nullopt;
}

template <typename Number>
std::optional<Number> parseNumber(const std::string& text, Number low, Number high)
{
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

// The device's clock as date and time elements.
void appendDateTime(pugi::xml_node parent, const char* name, DeviceTime time)
{
    const auto days = std::chrono::floor<std::chrono::days>(time);
    const std::chrono::year_month_day date(days);
    const std::chrono::hh_mm_ss clock(std::chrono::floor<std::chrono::seconds>(time - days));
    pugi::xml_node node = parent.append_child(name);
    pugi::xml_node timeNode = node.append_child("tt:Time");
    appendText(timeNode, "tt:Hour", std::to_string(clock.hours().count()));
    appendText(timeNode, "tt:Minute", std::to_string(clock.minutes().count()));
    appendText(timeNode, "tt:Second", std::to_string(clock.seconds().count()));
    pugi::xml_node dateNode = node.append_child("tt:Date");
    appendText(dateNode, "tt:Year", std::to_string(static_cast<int>(date.year())));
    appendText(dateNode, "tt:Month", std::to_string(static_cast<unsigned>(date.month())));
    appendText(dateNode, "tt:Day", std::to_string(static_cast<unsigned>(date.day())));
}

class DeviceCall final
{
public:
    DeviceCall(SimCamera& camera, const ServiceContext& context, const pugi::xml_node& request,
               CallOutcome& outcome)
        : m_camera(camera), m_context(context), m_request(request), m_outcome(outcome)
    {}
    DeviceCall(const DeviceCall&) = delete;
    DeviceCall& operator=(const DeviceCall&) = delete;

    using Handler = void (DeviceCall::*)(pugi::xml_node response);
    static const std::map<std::string, Handler, std::less<>>& handlers()
    {
        static const std::map<std::string, Handler, std::less<>> table = {
            {"GetSystemDateAndTime", &DeviceCall::getSystemDateAndTime},
            {"GetProfiles", &DeviceCall::getProfiles},
            {"GetProfile", &DeviceCall::getProfile},
            {"GetDeviceInformation", &DeviceCall::getDeviceInformation},
            {"GetCapabilities", &DeviceCall::getCapabilities},
            {"GetServices", &DeviceCall::getServices},
            {"GetHostname", &DeviceCall::getHostname},
            {"GetNetworkInterfaces", &DeviceCall::getNetworkInterfaces},
            {"GetNetworkDefaultGateway", &DeviceCall::getNetworkDefaultGateway},
            {"GetDNS", &DeviceCall::getDns},
            {"GetNetworkProtocols", &DeviceCall::getNetworkProtocols},
            {"GetScopes", &DeviceCall::getScopes},
            {"SetNetworkInterfaces", &DeviceCall::setNetworkInterfaces},
            {"SetNetworkDefaultGateway", &DeviceCall::setNetworkDefaultGateway},
            {"SetNetworkProtocols", &DeviceCall::setNetworkProtocols},
            {"SetScopes", &DeviceCall::setScopes},
            {"SystemReboot", &DeviceCall::systemReboot},
        };
        return table;
    }

    // A refused argument: the reply becomes this fault.
    void refuse(const std::string& detail, const std::string& reason)
    {
        m_refused = Fault{true, "ter:InvalidArgVal", detail, reason};
    }
    const std::optional<Fault>& refusal() const { return m_refused; }

private:
    // Arguments belong to tds; some clients write them in tt, and cameras
    // take them either way.
    pugi::xml_node argument(std::string_view name) const
    {
        const pugi::xml_node given = child(m_request, ns::tds, name);
        return given ? given : child(m_request, ns::tt, name);
    }

    void getSystemDateAndTime(pugi::xml_node response)
    {
        pugi::xml_node info = response.append_child("tds:SystemDateAndTime");
        appendText(info, "tt:DateTimeType", "Manual");
        appendText(info, "tt:DaylightSavings", "false");
        appendText(info.append_child("tt:TimeZone"), "tt:TZ", "UTC0");
        appendDateTime(info, "tt:UTCDateTime", m_context.deviceNow);
        appendDateTime(info, "tt:LocalDateTime", m_context.deviceNow);
    }

    void getDeviceInformation(pugi::xml_node response)
    {
        appendText(response, "tds:Manufacturer", "Tavolix Lab");
        appendText(response, "tds:Model", m_camera.model);
        appendText(response, "tds:FirmwareVersion", "1.0.0");
        appendText(response, "tds:SerialNumber", macText(m_camera.mac, '\0'));
        appendText(response, "tds:HardwareId", "1.0");
    }

    // The device service, and media at the same address for GetProfiles alone.
    void getCapabilities(pugi::xml_node response)
    {
        pugi::xml_node device = response.append_child("tds:Capabilities").append_child("tt:Device");
        appendText(device, "tt:XAddr", deviceServiceAddress(m_camera));
        pugi::xml_node network = device.append_child("tt:Network");
        appendText(network, "tt:IPFilter", "false");
        appendText(network, "tt:ZeroConfiguration", "false");
        appendText(network, "tt:IPVersion6", "false");
        appendText(network, "tt:DynDNS", "false");
        pugi::xml_node system = device.append_child("tt:System");
        for (const char* name : {"tt:DiscoveryResolve", "tt:DiscoveryBye", "tt:RemoteDiscovery",
                                 "tt:SystemBackup", "tt:SystemLogging", "tt:FirmwareUpgrade"})
            appendText(system, name, "false");
        pugi::xml_node version = system.append_child("tt:SupportedVersions");
        appendText(version, "tt:Major", "2");
        appendText(version, "tt:Minor", "0");
        device.append_child("tt:IO");
        device.append_child("tt:Security");
        appendText(response.child("tds:Capabilities").append_child("tt:Media"), "tt:XAddr",
                   deviceServiceAddress(m_camera));
    }

    // Clients ask for a media profile before anything else; one, with no
    // configurations, lets them go on to the device calls.
    void getProfiles(pugi::xml_node response) { appendProfile(response, "trt:Profiles"); }

    void getProfile(pugi::xml_node response)
    {
        if (trimmedText(child(m_request, ns::trt, "ProfileToken")) != "profile_1")
            return refuse("ter:NoProfile", "No such profile");
        appendProfile(response, "trt:Profile");
    }

    static void appendProfile(pugi::xml_node response, const char* name)
    {
        pugi::xml_node profile = response.append_child(name);
        profile.append_attribute("token") = "profile_1";
        profile.append_attribute("fixed") = "true";
        appendText(profile, "tt:Name", "main");
    }

    void getServices(pugi::xml_node response)
    {
        pugi::xml_node service = response.append_child("tds:Service");
        appendText(service, "tds:Namespace", ns::tds);
        appendText(service, "tds:XAddr", deviceServiceAddress(m_camera));
        pugi::xml_node version = service.append_child("tds:Version");
        appendText(version, "tt:Major", "2");
        appendText(version, "tt:Minor", "0");
    }

    void getHostname(pugi::xml_node response)
    {
        pugi::xml_node info = response.append_child("tds:HostnameInformation");
        appendText(info, "tt:FromDHCP", "false");
        appendText(info, "tt:Name", m_camera.name);
    }

    void getNetworkInterfaces(pugi::xml_node response)
    {
        const NetworkSettings& settings = m_camera.settings;
        pugi::xml_node interface = response.append_child("tds:NetworkInterfaces");
        interface.append_attribute("token") = "eth0";
        appendText(interface, "tt:Enabled", "true");
        pugi::xml_node info = interface.append_child("tt:Info");
        appendText(info, "tt:Name", "eth0");
        appendText(info, "tt:HwAddress", macText(m_camera.mac, ':'));
        appendText(info, "tt:MTU", "1500");
        pugi::xml_node ipv4 = interface.append_child("tt:IPv4");
        appendText(ipv4, "tt:Enabled", "true");
        pugi::xml_node config = ipv4.append_child("tt:Config");
        pugi::xml_node address = config.append_child(settings.dhcp ? "tt:FromDHCP" : "tt:Manual");
        appendText(address, "tt:Address", ipv4Text(settings.address));
        appendText(address, "tt:PrefixLength", std::to_string(settings.prefixLength));
        appendText(config, "tt:DHCP", boolText(settings.dhcp));
    }

    void getNetworkDefaultGateway(pugi::xml_node response)
    {
        pugi::xml_node gateway = response.append_child("tds:NetworkGateway");
        if (m_camera.settings.gateway != 0)
            appendText(gateway, "tt:IPv4Address", ipv4Text(m_camera.settings.gateway));
    }

    void getDns(pugi::xml_node response)
    {
        appendText(response.append_child("tds:DNSInformation"), "tt:FromDHCP", "false");
    }

    void getNetworkProtocols(pugi::xml_node response)
    {
        const auto add = [&](const char* name, bool enabled, uint16_t port) {
            pugi::xml_node protocol = response.append_child("tds:NetworkProtocols");
            appendText(protocol, "tt:Name", name);
            appendText(protocol, "tt:Enabled", boolText(enabled));
            appendText(protocol, "tt:Port", std::to_string(port));
        };
        add("HTTP", true, m_camera.settings.httpPort);
        add("HTTPS", false, 443);
        add("RTSP", true, 554);
    }

    void getScopes(pugi::xml_node response)
    {
        const auto add = [&](const char* definition, const std::string& item) {
            pugi::xml_node scope = response.append_child("tds:Scopes");
            appendText(scope, "tt:ScopeDef", definition);
            appendText(scope, "tt:ScopeItem", item);
        };
        for (const std::string& scope : fixedScopes(m_camera))
            add("Fixed", scope);
        for (const std::string& scope : m_camera.configurableScopes)
            add("Configurable", scope);
    }

    // Where a network change goes: the settings due after the reply, or
    // those waiting for a reboot. A camera that keeps its settings changes
    // a copy no one reads.
    NetworkSettings& changeTarget(bool waitsForReboot)
    {
        if (m_camera.keepsSettings) {
            m_discarded = m_camera.settings;
            return m_discarded;
        }
        if (waitsForReboot) {
            if (!m_camera.afterReboot)
                m_camera.afterReboot = m_camera.staged;
            return *m_camera.afterReboot;
        }
        m_outcome.commitAfterReply = true;
        return m_camera.staged;
    }

    void setNetworkInterfaces(pugi::xml_node response)
    {
        if (trimmedText(argument("InterfaceToken")) != "eth0")
            return refuse("ter:InvalidNetworkInterface", "No such network interface");
        const pugi::xml_node ipv4 = child(argument("NetworkInterface"), ns::tt, "IPv4");
        const pugi::xml_node manual = child(ipv4, ns::tt, "Manual");
        const auto dhcp = child(ipv4, ns::tt, "DHCP") ? parseBool(child(ipv4, ns::tt, "DHCP"))
                                                      : std::optional<bool>(false);
        const auto address = parseIpv4(trimmedText(child(manual, ns::tt, "Address")));
        const auto prefix = parseNumber(trimmedText(child(manual, ns::tt, "PrefixLength")), 1, 30);
        if (!dhcp || (manual && (!address || !prefix || !isUnicastHostAddress(*address))))
            return refuse("ter:InvalidIPv4Address", "Bad IPv4 settings");
        if (!*dhcp && !manual)
            return refuse("ter:InvalidIPv4Address", "No manual address");
        NetworkSettings& target = changeTarget(m_context.rebootNeeded);
        target.dhcp = *dhcp;
        if (manual) {
            target.address = *address;
            target.prefixLength = *prefix;
        }
        m_outcome.note = "ok " + (manual ? ipv4Text(*address) + "/" + std::to_string(*prefix)
                                         : std::string("dhcp"));
        appendText(response, "tds:RebootNeeded", boolText(m_context.rebootNeeded));
    }

    void setNetworkDefaultGateway(pugi::xml_node)
    {
        const pugi::xml_node given = argument("IPv4Address");
        const auto gateway = parseIpv4(trimmedText(given));
        if (given && (!gateway || !isUnicastHostAddress(*gateway)))
            return refuse("ter:InvalidGatewayAddress", "Bad gateway");
        const Ipv4 value = given ? *gateway : 0;
        changeTarget(false).gateway = value;
        if (m_camera.afterReboot && !m_camera.keepsSettings)
            m_camera.afterReboot->gateway = value;
        m_outcome.note = "ok " + (value != 0 ? ipv4Text(value) : std::string("none"));
    }

    void setNetworkProtocols(pugi::xml_node)
    {
        std::optional<uint16_t> httpPort;
        for (pugi::xml_node protocol = argument("NetworkProtocols"); protocol;
             protocol = protocol.next_sibling(protocol.name())) {
            const std::string name = trimmedText(child(protocol, ns::tt, "Name"));
            if (name != "HTTP")
                continue; // RTSP and HTTPS are not served, whatever is asked
            httpPort = parseNumber(trimmedText(child(protocol, ns::tt, "Port")), uint16_t{1},
                                   uint16_t{65535});
            if (!httpPort || parseBool(child(protocol, ns::tt, "Enabled")) != true)
                return refuse("ter:ServiceNotSupported", "HTTP must stay on, on one port");
        }
        if (!httpPort)
            return;
        changeTarget(false).httpPort = *httpPort;
        if (m_camera.afterReboot && !m_camera.keepsSettings)
            m_camera.afterReboot->httpPort = *httpPort;
        m_outcome.note = "ok http=" + std::to_string(*httpPort);
    }

    void setScopes(pugi::xml_node)
    {
        std::vector<std::string> scopes;
        for (pugi::xml_node scope = argument("Scopes"); scope;
             scope = scope.next_sibling(scope.name()))
            scopes.push_back(trimmedText(scope));
        for (const std::string& scope : scopes) {
            for (const std::string& fixed : fixedScopes(m_camera)) {
                if (scope == fixed)
                    return refuse("ter:ScopeOverwrite", "A fixed scope cannot be set");
            }
        }
        if (!m_camera.keepsSettings)
            m_camera.configurableScopes = scopes;
        m_outcome.note = "ok " + std::to_string(scopes.size()) + " scopes";
    }

    void systemReboot(pugi::xml_node response)
    {
        appendText(response, "tds:Message", "Rebooting");
        if (m_camera.afterReboot)
            m_camera.staged = *std::exchange(m_camera.afterReboot, std::nullopt);
        m_outcome.commitAfterReply = true;
    }

    SimCamera& m_camera;
    const ServiceContext& m_context;
    pugi::xml_node m_request;
    CallOutcome& m_outcome;
    std::optional<Fault> m_refused;
    NetworkSettings m_discarded;
};

} // namespace

CallOutcome handleDeviceCall(SimCamera& camera, std::string_view request,
                             const ServiceContext& context)
{
    CallOutcome outcome;
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(request.data(), request.size());
    const pugi::xml_node envelope = firstElement(document);
    const std::string soap = namespaceOf(envelope);
    const pugi::xml_node operation = firstElement(child(envelope, soap, "Body"));
    if (!parsed || localName(envelope) != "Envelope" ||
        (soap != ns::soap12 && soap != ns::soap11) || !operation) {
        fillFault(outcome, {true, "ter:WellFormed", {}, "Not a SOAP envelope"}, "not-soap");
        return outcome;
    }
    outcome.call = std::string(localName(operation));
    const auto handler = DeviceCall::handlers().find(outcome.call);
    const std::string_view service = outcome.call.starts_with("GetProfile") ? ns::trt : ns::tds;
    if (namespaceOf(operation) != service || handler == DeviceCall::handlers().end()) {
        fillFault(outcome, {false, "ter:ActionNotSupported", {}, "Not supported"}, "not-supported");
        return outcome;
    }
    if (outcome.call != "GetSystemDateAndTime") {
        const LoginCheck login = checkUsernameToken(child(envelope, soap, "Header"), context.user,
                                                    context.password, context.deviceNow);
        if (login != LoginCheck::Accepted) {
            fillFault(outcome, {true, "ter:NotAuthorized", {}, "Sender not authorized"},
                      std::string("not-authorized ") + loginCheckText(login));
            return outcome;
        }
    }
    Envelope reply;
    pugi::xml_node response = reply.body.append_child(
        ((service == ns::trt ? "trt:" : "tds:") + outcome.call + "Response").c_str());
    DeviceCall call(camera, context, operation, outcome);
    (call.*handler->second)(response);
    if (call.refusal()) {
        outcome.commitAfterReply = false;
        fillFault(outcome, *call.refusal(), "invalid " + call.refusal()->detail);
        return outcome;
    }
    outcome.reply = reply.text();
    return outcome;
}

} // namespace tavolix::onvifsim

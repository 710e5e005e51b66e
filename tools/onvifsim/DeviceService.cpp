#include "DeviceService.h"

#include "DeviceReadings.h"
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

// A call with arguments: they are checked, and a change goes where the
// camera's options send it.
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
            {"GetProfile", &DeviceCall::getProfile},
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

    void getProfile(pugi::xml_node response)
    {
        if (trimmedText(child(m_request, ns::trt, "ProfileToken")) != profileToken)
            return refuse("ter:NoProfile", "No such profile");
        appendProfile(response, "trt:Profile");
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
        if (m_context.refuseInterfaces)
            return refuse("ter:InvalidIPv4Address", "The address is locked");
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
                continue; // RTSP is not served and HTTPS stays as started, whatever is asked
            if (m_camera.splitHttpEntry && !child(protocol, ns::tt, "Port"))
                continue; // the entry without ports it lists itself
            httpPort = parseNumber(trimmedText(child(protocol, ns::tt, "Port")), uint16_t{1},
                                   uint16_t{65535});
            if (!httpPort || parseBool(child(protocol, ns::tt, "Enabled")) != true)
                return refuse("ter:ServiceNotSupported", "HTTP must stay on, on one port");
        }
        if (!httpPort)
            return;
        NetworkSettings& target = changeTarget(false);
        if (m_context.portStays && target.stayingPort == 0)
            target.stayingPort = target.httpPort;
        target.httpPort = *httpPort;
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

// A Set call answered as broken firmware does; nothing is changed.
void answerBrokenSet(CallOutcome& outcome, const ServiceContext& context)
{
    if (context.setsNotSoap != 0) {
        outcome.httpStatus = context.setsNotSoap;
        outcome.reply = htmlPage(context.setsNotSoap);
        outcome.note = "not-soap " + std::to_string(context.setsNotSoap);
        return;
    }
    // pugixml would escape the references: the Reason goes in as bytes. A raw ESC, and ESC
    // and BEL as references, which a parser turns into the raw bytes.
    constexpr std::string_view marker = "REASON";
    fillFault(outcome, {false, "ter:Action", {}, std::string(marker)}, "latin1");
    outcome.reply.replace(outcome.reply.find(marker), marker.size(),
                          "Adresse ung\xFCltig \x1B[2J&#27;]0;owned&#7;");
}

} // namespace

std::string htmlPage(unsigned status)
{
    const std::string title = std::to_string(status) + " Not SOAP";
    return "<html><head><title>" + title + "</title></head><body><h1>" + title +
           "</h1></body></html>\n";
}

CallOutcome handleDeviceCall(SimCamera& camera, std::string_view request,
                             const ServiceContext& context)
{
    CallOutcome outcome;
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(request.data(), request.size());
    const pugi::xml_node envelope = firstElement(document);
    const std::string soap = namespaceOf(envelope);
    const pugi::xml_node operation = firstElement(child(envelope, soap, "Body"));
    const bool readable = parsed && localName(envelope) == "Envelope" &&
                          (soap == ns::soap12 || soap == ns::soap11) && operation;
    if (readable)
        outcome.call = std::string(localName(operation));
    const bool needsLogin =
        !context.loggedIn && (outcome.call != "GetSystemDateAndTime" || context.clockNeedsLogin);
    const LoginCheck login =
        !needsLogin ? LoginCheck::Accepted
        : context.tokensLogIn && readable
            ? checkUsernameToken(child(envelope, soap, "Header"), context.user, context.password,
                                 context.deviceNow, context.seenNonces)
            : LoginCheck::Missing;
    outcome.tokenLogin = needsLogin && login == LoginCheck::Accepted;
    // A device that takes HTTP Digest asks for it before it reads the request: clients
    // (curl among them) send their first POST without its body until challenged.
    if (login == LoginCheck::Missing && context.digestOffered) {
        outcome.challenge = true;
        outcome.httpStatus = 401;
        outcome.note = "unauthorized no-login";
        return outcome;
    }
    if (!readable) {
        fillFault(outcome, {true, "ter:WellFormed", {}, "Not a SOAP envelope"}, "not-soap");
        return outcome;
    }
    const Reading reading = readingFor(outcome.call);
    const auto handler = DeviceCall::handlers().find(outcome.call);
    const std::string_view service = outcome.call.starts_with("GetProfile") ? ns::trt : ns::tds;
    if (namespaceOf(operation) != service ||
        (!reading && handler == DeviceCall::handlers().end())) {
        fillFault(outcome, {false, "ter:ActionNotSupported", {}, "Not supported"}, "not-supported");
        return outcome;
    }
    if (login != LoginCheck::Accepted) {
        fillFault(outcome, {true, "ter:NotAuthorized", {}, "Sender not authorized"},
                  std::string("not-authorized ") + loginCheckText(login));
        return outcome;
    }
    if (outcome.call.starts_with("Set") && (context.setsNotSoap != 0 || context.setsLatin1Fault)) {
        answerBrokenSet(outcome, context);
        return outcome;
    }
    Envelope reply;
    pugi::xml_node response = reply.body.append_child(
        ((service == ns::trt ? "trt:" : "tds:") + outcome.call + "Response").c_str());
    if (reading) {
        reading(response, camera, context.deviceNow);
        outcome.reply = reply.text();
        return outcome;
    }
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

std::string operationOf(std::string_view request)
{
    pugi::xml_document document;
    if (!document.load_buffer(request.data(), request.size()))
        return "?";
    const pugi::xml_node envelope = firstElement(document);
    const pugi::xml_node operation = firstElement(child(envelope, namespaceOf(envelope), "Body"));
    return operation ? std::string(localName(operation)) : "?";
}

} // namespace tavolix::onvifsim

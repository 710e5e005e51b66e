#include "Probe.h"

#include <algorithm>
#include <atomic>
#include <random>
#include <sstream>

namespace tavolix::onvifsim {
namespace {

const QualifiedName videoTransmitter{std::string(ns::dn), "NetworkVideoTransmitter"};
const QualifiedName onvifDevice{std::string(ns::tds), "Device"};
const QualifiedName profileDevice{std::string(ns::wsdp), "Device"};

std::vector<QualifiedName> typesOf(const SimCamera& camera)
{
    if (camera.isComputer)
        return {profileDevice};
    return {videoTransmitter, onvifDevice};
}

std::vector<std::string> words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> list;
    for (std::string word; in >> word;)
        list.push_back(word);
    return list;
}

// RFC 3986 matching: the probe's scope, segment by segment, leads the device's.
bool scopeMatches(std::string_view wanted, std::string_view held)
{
    while (wanted.ends_with('/'))
        wanted.remove_suffix(1);
    if (!held.starts_with(wanted))
        return false;
    return held.size() == wanted.size() || held[wanted.size()] == '/';
}

std::string newMessageId()
{
    static std::mt19937_64 generator{std::random_device{}()};
    static constexpr char digits[] = "0123456789abcdef";
    std::string id = "urn:uuid:xxxxxxxx-xxxx-4xxx-8xxx-xxxxxxxxxxxx";
    for (char& c : id) {
        if (c == 'x')
            c = digits[generator() & 0x0f];
    }
    return id;
}

// fe80:: and the modified EUI-64 of the MAC.
std::string linkLocalIpv6(uint64_t mac)
{
    const uint64_t high = (mac >> 24) ^ 0x020000, low = mac & 0xffffff;
    const uint64_t groups[] = {high >> 8, ((high & 0xff) << 8) | 0xff, 0xfe00 | (low >> 16),
                               low & 0xffff};
    std::ostringstream text;
    text << "fe80:" << std::hex;
    for (const uint64_t group : groups)
        text << ':' << group;
    return text.str();
}

} // namespace

std::optional<Probe> parseProbe(std::string_view datagram)
{
    pugi::xml_document document;
    if (!document.load_buffer(datagram.data(), datagram.size()))
        return std::nullopt;
    const pugi::xml_node envelope = firstElement(document);
    const std::string soap = namespaceOf(envelope);
    const pugi::xml_node probeNode = child(child(envelope, soap, "Body"), ns::wsd, "Probe");
    if (localName(envelope) != "Envelope" || !probeNode)
        return std::nullopt;
    Probe probe;
    probe.messageId = trimmedText(child(child(envelope, soap, "Header"), ns::wsa, "MessageID"));
    const pugi::xml_node types = child(probeNode, ns::wsd, "Types");
    for (const std::string& word : words(types.child_value()))
        probe.types.push_back(resolveQualifiedName(types, word));
    probe.scopes = words(child(probeNode, ns::wsd, "Scopes").child_value());
    return probe;
}

bool answersProbe(const SimCamera& camera, const Probe& probe, ProbeFilter filter)
{
    const std::vector<QualifiedName> held = typesOf(camera);
    const auto lists = [&](const QualifiedName& type) {
        return std::find(probe.types.begin(), probe.types.end(), type) != probe.types.end();
    };
    if (!camera.isComputer) {
        if ((filter == ProbeFilter::TypedOnly && probe.types.empty()) ||
            (filter == ProbeFilter::OnlyDn && !lists(videoTransmitter)) ||
            (filter == ProbeFilter::OnlyTds && !lists(onvifDevice)))
            return false;
    }
    for (const QualifiedName& type : probe.types) {
        if (std::find(held.begin(), held.end(), type) == held.end())
            return false;
    }
    const std::vector<std::string> scopes = allScopes(camera);
    return std::all_of(probe.scopes.begin(), probe.scopes.end(), [&](const std::string& wanted) {
        return std::any_of(scopes.begin(), scopes.end(),
                           [&](const std::string& scope) { return scopeMatches(wanted, scope); });
    });
}

std::string probeMatchesMessage(const SimCamera& camera, const Probe& probe, bool extraXAddrs,
                                unsigned messageNumber)
{
    Envelope envelope;
    if (camera.isComputer)
        envelope.document.document_element().append_attribute("xmlns:wsdp") =
            std::string(ns::wsdp).c_str();
    pugi::xml_node header = envelope.header;
    appendText(header, "a:MessageID", newMessageId());
    appendText(header, "a:RelatesTo", probe.messageId);
    appendText(header, "a:To", "http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous");
    appendText(header, "a:Action", "http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches");
    pugi::xml_node sequence = header.append_child("d:AppSequence");
    sequence.append_attribute("InstanceId") = 1;
    sequence.append_attribute("MessageNumber") = messageNumber;

    pugi::xml_node match =
        envelope.body.append_child("d:ProbeMatches").append_child("d:ProbeMatch");
    appendText(match.append_child("a:EndpointReference"), "a:Address", camera.endpoint);
    appendText(match, "d:Types",
               camera.isComputer ? "wsdp:Device" : "dn:NetworkVideoTransmitter tds:Device");
    std::string scopes;
    for (const std::string& scope : allScopes(camera))
        scopes += (scopes.empty() ? "" : " ") + scope;
    appendText(match, "d:Scopes", scopes);
    std::string xaddrs;
    if (extraXAddrs && !camera.isComputer) {
        // What cameras with link-local addresses advertise first; a client
        // must pick the address it can reach.
        xaddrs = "http://[" + linkLocalIpv6(camera.mac) + "]/onvif/device_service http://169.254." +
                 std::to_string((camera.mac >> 8) & 0xff) + "." +
                 std::to_string(std::max<uint64_t>(camera.mac & 0xff, 1)) +
                 "/onvif/device_service ";
    }
    for (const std::string& address : deviceServiceAddresses(camera))
        xaddrs += (xaddrs.empty() || xaddrs.ends_with(' ') ? "" : " ") + address;
    appendText(match, "d:XAddrs", xaddrs);
    appendText(match, "d:MetadataVersion", "1");
    return envelope.text();
}

} // namespace tavolix::onvifsim

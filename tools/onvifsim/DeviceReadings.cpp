#include "DeviceReadings.h"

#include "SoapNames.h"

#include <chrono>
#include <map>
#include <optional>

namespace tavolix::onvifsim {
namespace {

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

// A camera whose clock keeps local time calls it UTC all the same, as such
// firmware does: both elements carry the one clock.
void readSystemDateAndTime(pugi::xml_node response, const SimCamera& camera, DeviceTime now)
{
    pugi::xml_node info = response.append_child("tds:SystemDateAndTime");
    appendText(info, "tt:DateTimeType", "Manual");
    appendText(info, "tt:DaylightSavings", "false");
    appendText(info.append_child("tt:TimeZone"), "tt:TZ", camera.timeZone);
    appendDateTime(info, "tt:UTCDateTime", now);
    appendDateTime(info, "tt:LocalDateTime", now);
}

void readDeviceInformation(pugi::xml_node response, const SimCamera& camera, DeviceTime)
{
    appendText(response, "tds:Manufacturer", "Tavolix Lab");
    appendText(response, "tds:Model", camera.model);
    appendText(response, "tds:FirmwareVersion", "1.0.0");
    appendText(response, "tds:SerialNumber", macText(camera.mac, '\0'));
    appendText(response, "tds:HardwareId", "1.0");
}

// The device service, and media at the same address for GetProfiles alone.
void readCapabilities(pugi::xml_node response, const SimCamera& camera, DeviceTime)
{
    pugi::xml_node device = response.append_child("tds:Capabilities").append_child("tt:Device");
    appendText(device, "tt:XAddr", deviceServiceAddress(camera));
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
               deviceServiceAddress(camera));
}

void readServices(pugi::xml_node response, const SimCamera& camera, DeviceTime)
{
    pugi::xml_node service = response.append_child("tds:Service");
    appendText(service, "tds:Namespace", ns::tds);
    appendText(service, "tds:XAddr", deviceServiceAddress(camera));
    pugi::xml_node version = service.append_child("tds:Version");
    appendText(version, "tt:Major", "2");
    appendText(version, "tt:Minor", "0");
}

void readHostname(pugi::xml_node response, const SimCamera& camera, DeviceTime)
{
    pugi::xml_node info = response.append_child("tds:HostnameInformation");
    appendText(info, "tt:FromDHCP", "false");
    appendText(info, "tt:Name", camera.name);
}

void readNetworkInterfaces(pugi::xml_node response, const SimCamera& camera, DeviceTime)
{
    const NetworkSettings& settings = camera.settings;
    pugi::xml_node interface = response.append_child("tds:NetworkInterfaces");
    interface.append_attribute("token") = "eth0";
    appendText(interface, "tt:Enabled", "true");
    pugi::xml_node info = interface.append_child("tt:Info");
    appendText(info, "tt:Name", "eth0");
    appendText(info, "tt:HwAddress", macText(camera.mac, ':'));
    appendText(info, "tt:MTU", "1500");
    pugi::xml_node ipv4 = interface.append_child("tt:IPv4");
    appendText(ipv4, "tt:Enabled", "true");
    pugi::xml_node config = ipv4.append_child("tt:Config");
    pugi::xml_node address = config.append_child(settings.dhcp ? "tt:FromDHCP" : "tt:Manual");
    appendText(address, "tt:Address", ipv4Text(settings.address));
    appendText(address, "tt:PrefixLength", std::to_string(settings.prefixLength));
    appendText(config, "tt:DHCP", boolText(settings.dhcp));
}

void readNetworkDefaultGateway(pugi::xml_node response, const SimCamera& camera, DeviceTime)
{
    pugi::xml_node gateway = response.append_child("tds:NetworkGateway");
    if (camera.settings.gateway != 0)
        appendText(gateway, "tt:IPv4Address", ipv4Text(camera.settings.gateway));
}

void readDns(pugi::xml_node response, const SimCamera&, DeviceTime)
{
    appendText(response.append_child("tds:DNSInformation"), "tt:FromDHCP", "false");
}

void readNetworkProtocols(pugi::xml_node response, const SimCamera& camera, DeviceTime)
{
    const auto add = [&](const char* name, bool enabled, std::optional<uint16_t> port) {
        pugi::xml_node protocol = response.append_child("tds:NetworkProtocols");
        appendText(protocol, "tt:Name", name);
        appendText(protocol, "tt:Enabled", boolText(enabled));
        if (port)
            appendText(protocol, "tt:Port", std::to_string(*port));
    };
    if (camera.splitHttpEntry)
        add("HTTP", true, std::nullopt);
    add("HTTP", camera.xaddrScheme != XAddrScheme::Https, camera.settings.httpPort);
    add("HTTPS", camera.servesHttps, camera.httpsPort);
    add("RTSP", true, 554);
}

void readScopes(pugi::xml_node response, const SimCamera& camera, DeviceTime)
{
    const auto add = [&](const char* definition, const std::string& item) {
        pugi::xml_node scope = response.append_child("tds:Scopes");
        appendText(scope, "tt:ScopeDef", definition);
        appendText(scope, "tt:ScopeItem", item);
    };
    for (const std::string& scope : fixedScopes(camera))
        add("Fixed", scope);
    for (const std::string& scope : camera.configurableScopes)
        add("Configurable", scope);
}

void readProfiles(pugi::xml_node response, const SimCamera&, DeviceTime)
{
    appendProfile(response, "trt:Profiles");
}

} // namespace

Reading readingFor(std::string_view call)
{
    static const std::map<std::string, Reading, std::less<>> readings = {
        {"GetSystemDateAndTime", &readSystemDateAndTime},
        {"GetDeviceInformation", &readDeviceInformation},
        {"GetCapabilities", &readCapabilities},
        {"GetServices", &readServices},
        {"GetHostname", &readHostname},
        {"GetNetworkInterfaces", &readNetworkInterfaces},
        {"GetNetworkDefaultGateway", &readNetworkDefaultGateway},
        {"GetDNS", &readDns},
        {"GetNetworkProtocols", &readNetworkProtocols},
        {"GetScopes", &readScopes},
        {"GetProfiles", &readProfiles},
    };
    const auto found = readings.find(call);
    return found == readings.end() ? nullptr : found->second;
}

void appendProfile(pugi::xml_node response, const char* name)
{
    pugi::xml_node profile = response.append_child(name);
    profile.append_attribute("token") = profileToken;
    profile.append_attribute("fixed") = "true";
    appendText(profile, "tt:Name", "main");
}

std::string boolText(bool value)
{
    return value ? "true" : "false";
}

} // namespace tavolix::onvifsim

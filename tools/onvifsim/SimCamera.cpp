// Scopes are percent-encoded here, not by src/onvif's encoder: a fault in the client
// must not be mirrored by the simulator it is tested against.
#include "SimCamera.h"

#include <array>
#include <cstdio>

namespace tavolix::onvifsim {
namespace {

constexpr const char* scopeRoot = "onvif://www.onvif.org/";

std::string endpointFor(uint64_t mac, std::string_view kind, bool version1 = false)
{
    // Stable per MAC, so a restarted simulator is the same device to a client; a version-1
    // UUID names the MAC as its node, as many cameras' do.
    return "urn:uuid:" + std::string(kind) + (version1 ? "-0000-1000-8000-" : "-0000-4000-8000-") +
           macText(mac, '\0');
}

std::string percentEncoded(std::string_view text)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~';
        if (unreserved) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += digits[byte >> 4];
            encoded += digits[byte & 0x0f];
        }
    }
    return encoded;
}

} // namespace

std::string macText(uint64_t mac, char separator)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    for (int shift = 40; shift >= 0; shift -= 8) {
        if (separator != '\0' && shift != 40)
            text += separator;
        const auto byte = static_cast<unsigned>((mac >> shift) & 0xff);
        text += digits[byte >> 4];
        text += digits[byte & 0x0f];
    }
    return text;
}

SimCamera makeCamera(const OnvifSimOptions& options, int index)
{
    SimCamera camera;
    camera.mac = options.macBase + static_cast<uint64_t>(index);
    camera.endpoint = options.endpointUuid.empty()
                          ? endpointFor(camera.mac, "5a1e0001", options.macEndpoints)
                          : "urn:uuid:" + options.endpointUuid;
    std::array<char, 16> number{};
    std::snprintf(number.data(), number.size(), "-%03d", index + 1);
    camera.name = options.namePrefix + number.data();
    camera.configurableScopes = {std::string(scopeRoot) + "name/" + percentEncoded(camera.name),
                                 std::string(scopeRoot) + "location/" + camera.location};
    camera.settings.address = options.ipBase + static_cast<Ipv4>(index);
    camera.settings.prefixLength = options.prefixLength;
    camera.settings.gateway = options.gateway;
    camera.settings.httpPort = options.httpPort;
    camera.staged = camera.settings;
    camera.keepsSettings = index < options.ignoringDevices;
    camera.xaddrScheme = options.xaddrScheme;
    camera.servesHttps = servesHttps(options);
    camera.httpsPort = options.httpsPort;
    camera.xaddrHost = options.xaddrHost;
    if (options.localTimeAsUtc)
        camera.timeZone = "CST-8";
    camera.splitHttpEntry = options.splitHttpEntry;
    camera.oversized = index < options.oversizedDevices;
    return camera;
}

SimCamera makeComputer(const OnvifSimOptions& options)
{
    SimCamera computer = makeCamera(options, options.count);
    computer.endpoint = endpointFor(computer.mac, "5a1e0002");
    computer.name = "WORKSTATION";
    computer.configurableScopes.clear();
    computer.settings.httpPort = 5357;
    computer.staged = computer.settings;
    computer.isComputer = true;
    computer.xaddrScheme = XAddrScheme::Http;
    computer.servesHttps = false;
    computer.xaddrHost.clear();
    computer.oversized = false;
    return computer;
}

std::vector<std::string> fixedScopes(const SimCamera& camera)
{
    if (camera.isComputer)
        return {};
    const std::string root = scopeRoot;
    return {root + "type/video_encoder", root + "Profile/Streaming",
            root + "hardware/" + percentEncoded(camera.model)};
}

std::vector<std::string> allScopes(const SimCamera& camera)
{
    std::vector<std::string> scopes = fixedScopes(camera);
    scopes.insert(scopes.end(), camera.configurableScopes.begin(), camera.configurableScopes.end());
    return scopes;
}

std::vector<std::string> deviceServiceAddresses(const SimCamera& camera)
{
    const std::string host =
        camera.xaddrHost.empty() ? ipv4Text(camera.settings.address) : camera.xaddrHost;
    const std::string path =
        camera.isComputer ? "/" + camera.endpoint.substr(9) + "/" : "/onvif/device_service";
    const auto address = [&](const char* scheme, uint16_t port, uint16_t usualPort) {
        return std::string(scheme) + "://" + host +
               (port != usualPort ? ":" + std::to_string(port) : "") + path;
    };
    std::vector<std::string> addresses;
    if (camera.xaddrScheme != XAddrScheme::Https)
        addresses.push_back(address("http", servicePort(camera.settings), 80));
    if (camera.xaddrScheme != XAddrScheme::Http)
        addresses.push_back(address("https", camera.httpsPort, 443));
    return addresses;
}

std::string deviceServiceAddress(const SimCamera& camera)
{
    return deviceServiceAddresses(camera).front();
}

} // namespace tavolix::onvifsim

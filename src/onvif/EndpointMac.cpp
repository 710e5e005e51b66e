#include "EndpointMac.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cctype>
#include <string>

namespace tavolix::onvif {
namespace {

std::optional<unsigned> hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0');
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower >= 'a' && lower <= 'f')
        return static_cast<unsigned>(lower - 'a' + 10);
    return std::nullopt;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

// A MAC a network card can have: no group address, not all zeros.
std::optional<MacAddress> unicast(const MacAddress& mac)
{
    if ((mac[0] & 0x01) != 0 ||
        std::all_of(mac.begin(), mac.end(), [](uint8_t b) { return b == 0; }))
        return std::nullopt;
    return mac;
}

} // namespace

std::optional<MacAddress> macOfEndpointUuid(std::string_view address)
{
    constexpr std::string_view prefix = "urn:uuid:";
    if (!startsWithNoCase(address, prefix))
        return std::nullopt;
    const std::string_view uuid = address.substr(prefix.size());
    // 36 characters: hex digits with hyphens at 8, 13, 18 and 23.
    if (uuid.size() != 36)
        return std::nullopt;
    std::array<unsigned, 32> digits{};
    std::size_t count = 0;
    for (std::size_t i = 0; i < uuid.size(); ++i) {
        const bool hyphenPlace = i == 8 || i == 13 || i == 18 || i == 23;
        const auto digit = hexDigit(uuid[i]);
        if (hyphenPlace != (uuid[i] == '-') || (!hyphenPlace && !digit))
            return std::nullopt;
        if (!hyphenPlace)
            digits[count++] = *digit;
    }
    const unsigned version = digits[12];
    const unsigned variant = digits[16] >> 2; // the top two bits: 10 for RFC 4122
    if (version != 1 || variant != 0b10)
        return std::nullopt;
    MacAddress node{};
    for (std::size_t i = 0; i < node.size(); ++i)
        node[i] = static_cast<uint8_t>(digits[20 + 2 * i] << 4 | digits[21 + 2 * i]);
    return unicast(node); // a multicast bit marks a random node
}

std::optional<MacAddress> macOfLinkLocalXAddr(std::string_view xaddr)
{
    const auto open = xaddr.find("://[");
    if (open == std::string_view::npos)
        return std::nullopt;
    const auto hostStart = open + 4;
    const auto close = xaddr.find(']', hostStart);
    if (close == std::string_view::npos)
        return std::nullopt;
    // A zone ("%eth0", written "%25eth0" in a URL) names our side's interface, not the address.
    std::string host(xaddr.substr(hostStart, close - hostStart));
    host = host.substr(0, host.find('%'));
    std::array<uint8_t, 16> bytes{};
    if (inet_pton(AF_INET6, host.c_str(), bytes.data()) != 1)
        return std::nullopt;
    const bool linkLocal = bytes[0] == 0xfe && (bytes[1] & 0xc0) == 0x80;
    if (!linkLocal || bytes[11] != 0xff || bytes[12] != 0xfe)
        return std::nullopt;
    return unicast({static_cast<uint8_t>(bytes[8] ^ 0x02), bytes[9], bytes[10], bytes[13],
                    bytes[14], bytes[15]});
}

} // namespace tavolix::onvif

#include "WireText.h"

#include "UniqueFd.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tavolix::e2e {
namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::optional<std::vector<uint8_t>> bytesFromHex(std::string_view hex)
{
    if (hex.size() % 2 != 0)
        return std::nullopt;
    std::vector<uint8_t> bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = hexDigit(hex[i]);
        const int low = hexDigit(hex[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return bytes;
}

std::string hexFromBytes(std::span<const uint8_t> bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * bytes.size());
    for (const uint8_t byte : bytes) {
        hex += digits[byte >> 4];
        hex += digits[byte & 0x0f];
    }
    return hex;
}

std::optional<SimDatagram> parseSimDatagram(std::string_view line)
{
    const auto firstBlank = line.find(' ');
    if (firstBlank == std::string_view::npos)
        return std::nullopt;
    const std::string_view direction = line.substr(0, firstBlank);
    if (direction != "recv" && direction != "send")
        return std::nullopt;
    const auto secondBlank = line.find(' ', firstBlank + 1);
    if (secondBlank == std::string_view::npos)
        return std::nullopt;
    auto bytes = bytesFromHex(line.substr(secondBlank + 1));
    if (!bytes)
        return std::nullopt;
    return SimDatagram{std::string(direction),
                       std::string(line.substr(firstBlank + 1, secondBlank - firstBlank - 1)),
                       std::move(*bytes)};
}

bool sendUnicast(const std::string& address, uint16_t port, std::span<const uint8_t> bytes)
{
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &destination.sin_addr) != 1)
        return false;
    const UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd)
        return false;
    const ssize_t sent = ::sendto(
        fd.get(), bytes.data(), bytes.size(), 0,
        static_cast<const sockaddr*>(static_cast<const void*>(&destination)), sizeof destination);
    return sent == static_cast<ssize_t>(bytes.size());
}

} // namespace tavolix::e2e

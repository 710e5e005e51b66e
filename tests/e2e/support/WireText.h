#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavolix::e2e {

// One datagram line of the simulator's transcript:
// "recv 198.18.0.1:3566 56584c3833..." or "send ...".
struct SimDatagram
{
    std::string direction; // "recv" or "send"
    std::string peer;      // "198.18.0.1:3566"
    std::vector<uint8_t> bytes;
};

// Nothing for other lines or malformed hex.
std::optional<SimDatagram> parseSimDatagram(std::string_view line);

std::optional<std::vector<uint8_t>> bytesFromHex(std::string_view hex);
std::string hexFromBytes(std::span<const uint8_t> bytes); // lower-case, as devicesim prints

// A plain unicast datagram from the calling thread's namespace.
bool sendUnicast(const std::string& address, uint16_t port, std::span<const uint8_t> bytes);

} // namespace tavolix::e2e

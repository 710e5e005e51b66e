#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tavolix::e2e {

// One run of bytes at a fixed offset of an expected datagram.
struct WirePiece
{
    std::size_t offset;
    std::vector<uint8_t> bytes;
};

inline std::vector<uint8_t> ascii(std::string_view text)
{
    return {text.begin(), text.end()};
}

// A zero-filled datagram of `size` bytes with the pieces laid in. Pieces
// must come in ascending, non-overlapping order; a table that breaks this
// yields an empty image, so a mistyped offset fails the test instead of
// silently overwriting bytes.
inline std::vector<uint8_t> byteImage(std::size_t size, std::initializer_list<WirePiece> pieces)
{
    std::vector<uint8_t> image(size, 0);
    std::size_t nextFree = 0;
    for (const WirePiece& piece : pieces) {
        if (piece.offset < nextFree || piece.offset + piece.bytes.size() > size)
            return {};
        std::copy(piece.bytes.begin(), piece.bytes.end(), image.data() + piece.offset);
        nextFree = piece.offset + piece.bytes.size();
    }
    return image;
}

// The search request, 256 bytes: each record with a zero value.
inline std::vector<uint8_t> searchRequestImage()
{
    return byteImage(256, {
                              {0, ascii("VXL83")}, // magic
                              {5, {0x20, 0x1F}},   // Name, value 7-37
                              {38, {0x10, 0x06}},  // Mac, value 40-45
                              {46, {0x21, 0x10}},  // Version, value 48-63
                              {64, {0x11, 0x04}},  // IpAddress, value 66-69
                              {70, {0x12, 0x04}},  // SubnetMask, value 72-75
                              {76, {0x13, 0x04}},  // Gateway, value 78-81
                              {82, {0x14, 0x05}},  // HttpPort, value 84-88
                              {89, {0x1F, 0x04}},  // NetworkMode, value 91-94
                              {95, {0x30, 0x02}},  // DeviceKind, value 97-98
                              {99, {0x22, 0x40}},  // PppoeAccount, value 101-164
                              {165, {0x23, 0x10}}, // PppoePassword, value 167-182
                          });                      // 183-255 zero
}

// Empty when equal, else the first place where they part.
inline std::string describeDifference(const std::vector<uint8_t>& actual,
                                      const std::vector<uint8_t>& expected)
{
    const auto [a, e] =
        std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    if (a != actual.end() && e != expected.end())
        return "offset " + std::to_string(a - actual.begin()) + ": got " + std::to_string(*a) +
               ", expected " + std::to_string(*e);
    if (actual.size() != expected.size())
        return "length " + std::to_string(actual.size()) + ", expected " +
               std::to_string(expected.size());
    return {};
}

} // namespace tavolix::e2e

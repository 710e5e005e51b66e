#pragma once

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
        std::copy(piece.bytes.begin(), piece.bytes.end(), image.begin() + piece.offset);
        nextFree = piece.offset + piece.bytes.size();
    }
    return image;
}

// Empty when equal, else the first place where they part.
inline std::string describeDifference(const std::vector<uint8_t>& actual,
                                      const std::vector<uint8_t>& expected)
{
    const std::size_t common = std::min(actual.size(), expected.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (actual[i] != expected[i])
            return "offset " + std::to_string(i) + ": got " + std::to_string(actual[i]) +
                   ", expected " + std::to_string(expected[i]);
    }
    if (actual.size() != expected.size())
        return "length " + std::to_string(actual.size()) + ", expected " +
               std::to_string(expected.size());
    return {};
}

} // namespace tavolix::e2e

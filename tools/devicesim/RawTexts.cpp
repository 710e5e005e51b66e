#include "RawTexts.h"

#include "SimulatedDevice.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace tavolix::devicesim {
namespace {

std::optional<std::string> bytesFromHex(std::string_view hex, std::size_t capacity)
{
    if (hex.size() % 2 != 0 || hex.size() / 2 > capacity)
        return std::nullopt;
    std::string bytes;
    for (std::size_t at = 0; at < hex.size(); at += 2) {
        unsigned value = 0;
        const char* first = hex.data() + at;
        const auto [end, error] = std::from_chars(first, first + 2, value, 16);
        if (error != std::errc{} || end != first + 2)
            return std::nullopt;
        bytes += static_cast<char>(value);
    }
    return bytes;
}

template <std::size_t N>
void setBytes(std::array<char, N>& field, const std::optional<std::string>& bytes)
{
    if (!bytes)
        return;
    field.fill('\0');
    std::copy_n(bytes->begin(), std::min(bytes->size(), N), field.begin());
}

} // namespace

std::optional<RawTexts> parseRawTexts(std::string_view text)
{
    const std::array<std::size_t, 3> capacities = {
        std::tuple_size_v<decltype(SimulatedDevice::name)>,
        std::tuple_size_v<decltype(SimulatedDevice::pppoeAccount)>,
        std::tuple_size_v<decltype(SimulatedDevice::pppoePassword)>,
    };
    std::array<std::optional<std::string>, 3> parts;
    for (std::size_t index = 0; index < parts.size(); ++index) {
        const std::size_t comma = text.find(',');
        const std::string_view hex = text.substr(0, comma);
        if (!hex.empty()) {
            parts[index] = bytesFromHex(hex, capacities[index]);
            if (!parts[index])
                return std::nullopt;
        }
        if (comma == std::string_view::npos)
            return RawTexts{parts[0], parts[1], parts[2]};
        text.remove_prefix(comma + 1);
    }
    return std::nullopt; // more than three parts
}

void applyRawTexts(const std::vector<RawTexts>& texts, std::vector<SimulatedDevice>& devices)
{
    for (std::size_t i = 0; i < std::min(texts.size(), devices.size()); ++i) {
        setBytes(devices[i].name, texts[i].name);
        setBytes(devices[i].pppoeAccount, texts[i].pppoeAccount);
        setBytes(devices[i].pppoePassword, texts[i].pppoePassword);
    }
}

} // namespace tavolix::devicesim

#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavolix::devicesim {

struct SimulatedDevice;

// Texts one device reports as raw bytes, in whatever encoding a device set up
// elsewhere may hold them; a part not given keeps the device's usual text.
struct RawTexts
{
    std::optional<std::string> name;
    std::optional<std::string> pppoeAccount;
    std::optional<std::string> pppoePassword;
};

// "NAME[,ACCOUNT[,PASSWORD]]", each part hex digits in pairs ("63616de97261"),
// an empty part leaving that text alone. Nothing when the text is malformed or
// a part is longer than its field.
std::optional<RawTexts> parseRawTexts(std::string_view text);

// Device i takes the i-th entry; devices beyond the list keep their texts.
void applyRawTexts(const std::vector<RawTexts>& texts, std::vector<SimulatedDevice>& devices);

} // namespace tavolix::devicesim

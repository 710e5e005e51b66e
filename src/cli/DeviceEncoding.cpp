#include "DeviceEncoding.h"

#include <array>
#include <utility>

namespace tavolix::cli {
namespace {

constexpr std::array<std::pair<std::string_view, LegacyCodePage>, 4> codePageNames = {{
    {"windows-1252", LegacyCodePage::Windows1252},
    {"gb18030", LegacyCodePage::Gb18030},
    {"big5", LegacyCodePage::Big5},
    {"shift-jis", LegacyCodePage::ShiftJis},
}};

// Room for text in the device's fields, as the configuration request carries it.
std::size_t capacityOf(Setting setting)
{
    return setting == Setting::Name ? 31 : 64;
}

} // namespace

std::optional<LegacyCodePage> codePageNamed(std::string_view name)
{
    for (const auto& [pageName, page] : codePageNames) {
        if (pageName == name)
            return page;
    }
    return std::nullopt;
}

std::optional<SettingValues> inDeviceEncoding(const DeviceRecord& device,
                                              const SettingValues& asked, LegacyCodePage page,
                                              std::string& problem)
{
    SettingValues encoded = asked;
    for (const Setting setting : {Setting::Name, Setting::PppoeAccount}) {
        const auto value = encoded.find(setting);
        // Bytes that are not UTF-8 as a whole are the device's own already.
        if (value == encoded.end() || deviceTextToUtf8(value->second, page) != value->second)
            continue;
        const std::string stored = currentValue(device, setting);
        const std::size_t capacity = capacityOf(setting);
        const auto bytes = utf8ToDeviceText(value->second, stored, page, capacity);
        const std::string key(settingKey(setting));
        if (!bytes) {
            problem = key + ": holds characters that the device's encoding cannot store";
            return std::nullopt;
        }
        if (deviceTextToUtf8(*bytes, page) != value->second) {
            problem = key + ": does not fit in " + std::to_string(capacity) +
                      " bytes in the device's encoding";
            return std::nullopt;
        }
        value->second = *bytes;
    }
    return encoded;
}

} // namespace tavolix::cli

#include "NativeRules.h"

#include "Credentials.h"
#include "Datagram.h"

#include <limits>

namespace tavolix {
namespace {

struct TextRecord
{
    Setting setting;
    std::optional<std::string> DeviceSettings::*value;
    Tag tag;
};

constexpr TextRecord textRecords[] = {
    {Setting::Name, &DeviceSettings::name, Tag::Name},
    {Setting::PppoeAccount, &DeviceSettings::pppoeAccount, Tag::PppoeAccount},
};

// The asked texts in the bytes the device will store, or why one cannot be.
std::optional<std::string> encodeTexts(const Device& device, DeviceSettings& asked,
                                       LegacyCodePage page)
{
    for (const TextRecord& record : textRecords) {
        std::optional<std::string>& value = asked.*record.value;
        // Bytes that are not UTF-8 as a whole are the device's own already.
        if (!value || deviceTextToUtf8(*value, page) != *value)
            continue;
        const std::string stored = settingText(currentSettings(device), record.setting);
        // Not cut here: the record's size is checked, and said, on the bytes it would hold.
        const auto bytes =
            utf8ToDeviceText(*value, stored, page, std::numeric_limits<std::size_t>::max());
        if (!bytes)
            return std::string(settingKey(record.setting)) +
                   ": holds characters that the device's encoding cannot store";
        value = *bytes;
    }
    return std::nullopt;
}

bool isPppoe(Setting setting, const DeviceSettings& result)
{
    return setting == Setting::PppoeAccount ||
           (setting == Setting::Mode && result.mode == AddressMode::Pppoe);
}

// What the record sizes and the device's kind forbid, per differing setting.
void addKindRefusals(const Device& device, const DeviceSettings& asked,
                     std::vector<std::string>& refusals)
{
    const DeviceSettings result = resultingSettings(device, asked);
    for (const Setting setting : differingSettings(device, asked)) {
        const std::string key(settingKey(setting));
        for (const TextRecord& record : textRecords) {
            const std::size_t size = (asked.*record.value).value_or("").size();
            if (record.setting == setting && size > valueSize(record.tag))
                refusals.push_back(key + ": is " + std::to_string(size) +
                                   " bytes long in the device's encoding, at most " +
                                   std::to_string(valueSize(record.tag)) + " fit");
        }
        if (device.kind == DeviceKind::ReadOnly)
            refusals.push_back(key + ": a kind 3 device lets nothing be changed");
        else if (device.kind == DeviceKind::WithoutPppoe && isPppoe(setting, result))
            refusals.push_back(key + ": a kind 1 device cannot use PPPoE");
    }
}

} // namespace

Result<DeviceSettings> checkNativeChange(const Device& device, const DeviceSettings& asked,
                                         const ChangeOptions& options)
{
    DeviceSettings encoded = asked;
    if (const auto refusal =
            encodeTexts(device, encoded, options.codePage.value_or(LegacyCodePage::Windows1252)))
        return refused(*refusal);
    std::vector<std::string> refusals = settingRefusals(device, encoded);
    addKindRefusals(device, encoded, refusals);
    const Login* login = options.login ? &*options.login : nullptr;
    if (login != nullptr && !differingSettings(device, encoded).empty() &&
        (login->account.size() > loginFieldSize || login->password.size() > loginFieldSize))
        refusals.push_back("the user or the password is longer than " +
                           std::to_string(loginFieldSize) +
                           " bytes, which a device of the native protocol cannot take");
    if (refusals.empty())
        return encoded;
    return refused(refusals);
}

} // namespace tavolix

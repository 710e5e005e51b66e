#include "MacCodec.h"

namespace tavolix {

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string macToText(const MacAddress& mac)
{
    std::string text(12, '0');
    for (std::size_t i = 0; i < mac.size(); ++i) {
        text[2 * i] = hexDigits[mac[i] >> 4];
        text[2 * i + 1] = hexDigits[mac[i] & 0x0f];
    }
    return text;
}

std::optional<MacAddress> textToMac(std::string_view text)
{
    if (text.size() != 12)
        return std::nullopt;
    MacAddress mac{};
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const int high = hexDigitValue(text[2 * i]);
        const int low = hexDigitValue(text[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        mac[i] = static_cast<uint8_t>(high * 16 + low);
    }
    return mac;
}

} // namespace tavolix

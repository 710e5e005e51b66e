#include "Scopes.h"

#include "MacCodec.h"

#include <algorithm>
#include <cctype>

namespace tavolix::onvif {

namespace {

constexpr std::string_view onvifScheme = "onvif://";
constexpr std::string_view onvifAuthority = "onvif://www.onvif.org/";

// Scheme and host are not case-sensitive; the path is.
bool startsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

} // namespace

bool isOnvifScope(std::string_view scope)
{
    return startsWithIgnoringCase(scope, onvifScheme);
}

std::optional<std::string> scopeValue(const std::vector<std::string>& scopes,
                                      std::string_view category)
{
    for (const std::string_view scope : scopes) {
        if (!startsWithIgnoringCase(scope, onvifAuthority))
            continue;
        const auto path = scope.substr(onvifAuthority.size());
        if (path.size() > category.size() && path.starts_with(category) &&
            path[category.size()] == '/')
            return percentDecoded(path.substr(category.size() + 1));
    }
    return std::nullopt;
}

std::string percentEncoded(std::string_view text)
{
    static constexpr char upperHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~';
        if (unreserved) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += upperHex[byte >> 4];
            encoded += upperHex[byte & 0x0f];
        }
    }
    return encoded;
}

std::string percentDecoded(std::string_view text)
{
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexDigitValue(text[i + 1]) >= 0 &&
            hexDigitValue(text[i + 2]) >= 0) {
            decoded +=
                static_cast<char>(16 * hexDigitValue(text[i + 1]) + hexDigitValue(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

} // namespace tavolix::onvif

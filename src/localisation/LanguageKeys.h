#pragma once

// Language numbers and the key names under which table `interface` keeps each
// language's texts. A number is also the language's row and column in table
// `language` and its position in the language box.

#include <array>

namespace tavolix {

inline constexpr int languageCount = 6;

inline constexpr std::array<const char*, languageCount> languageKeyNames{
    "English", "ChinaGB", "ChinaBG", "French", "German", "Japan"};

// The key of a language number; numbers without a language get the empty key,
// which no interface row carries.
constexpr const char* languageKeyName(int language)
{
    if (language < 0 || language >= languageCount)
        return "";
    return languageKeyNames[static_cast<std::size_t>(language)];
}

} // namespace tavolix

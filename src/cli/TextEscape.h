#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavolix::cli {

// Device texts are untrusted bytes. Before they reach a terminal, a CSV file
// or JSON they become printable UTF-8: a backslash is written "\\", and every
// byte of a control character (C0, DEL, C1), of a character that reorders or
// breaks lines (bidirectional controls, line and paragraph separators) and
// every byte that is not part of valid UTF-8 is written "\xHH". Nothing else
// changes, so the escape is reversible.
std::string escapeDeviceText(std::string_view bytes);

// The bytes an escaped text stands for; nothing when a backslash starts
// anything but "\\" or "\x" and two hex digits.
std::optional<std::string> unescapeDeviceText(std::string_view text);

// Columns a printable UTF-8 text takes on a terminal (wide East Asian
// characters count two).
std::size_t displayWidth(std::string_view text);

// The text in at most `width` columns: whole when it fits, else its start
// and its end around a "…" that stands for the middle; never half a wide
// character.
std::string cutToWidth(std::string_view text, std::size_t width);

} // namespace tavolix::cli

#pragma once

#include "Result.h"

#include <string>
#include <string_view>
#include <vector>

namespace tavolix::cli {

using CsvRow = std::vector<std::string>;

// One RFC 4180 field: quoted when it holds a comma, quote, CR or LF, or when
// alwaysQuote is set; quotes inside are doubled.
std::string csvField(std::string_view text, bool alwaysQuote = false);

// Fields joined by commas and ended by CRLF.
std::string csvLine(const std::vector<std::string>& fields);

// A spreadsheet reads a cell that starts with = + - or @ as a formula, and one
// that reads as a number ("0042", "1e5", ".5", blanks around it or not) as that
// number, which it then saves as "42", "100000" or "0.5". Such a text, and one
// that already starts with the guard ', gets a leading ', which a spreadsheet
// keeps as part of the text, so unguardCell can take exactly one away again.
std::string guardCell(std::string_view text);
std::string_view unguardCell(std::string_view text);

// Parses RFC 4180 text (CRLF or LF line ends, a UTF-8 byte order mark at the
// start skipped, blank lines skipped). Refused, naming the line, when a
// quoted field is not closed or a quote stands inside an unquoted field.
Result<std::vector<CsvRow>> parseCsv(std::string_view text);

} // namespace tavolix::cli

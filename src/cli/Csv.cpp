#include "Csv.h"

#include <cctype>
#include <charconv>

namespace tavolix::cli {

std::string csvField(std::string_view text, bool alwaysQuote)
{
    if (!alwaysQuote && text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string csvLine(const std::vector<std::string>& fields)
{
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i != 0)
            line += ',';
        line += fields[i];
    }
    line += "\r\n";
    return line;
}

namespace {

// A decimal number a spreadsheet can hold; one too large for it ("02005e100001",
// a MAC address) stays text there.
bool readsAsNumber(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t");
    if (first == std::string_view::npos)
        return false;
    text = text.substr(first, last - first + 1);
    if (!std::isdigit(static_cast<unsigned char>(text.front())) && text.front() != '.')
        return false; // not "inf" or "nan", which stay text
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

} // namespace

std::string guardCell(std::string_view text)
{
    if ((!text.empty() && std::string_view("=+-@'").find(text.front()) != std::string_view::npos) ||
        readsAsNumber(text))
        return "'" + std::string(text);
    return std::string(text);
}

std::string_view unguardCell(std::string_view text)
{
    if (!text.empty() && text.front() == '\'')
        text.remove_prefix(1);
    return text;
}

Result<std::vector<CsvRow>> parseCsv(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    std::vector<CsvRow> rows;
    CsvRow row;
    std::string field;
    bool atFieldStart = true; // nothing of the current field read yet
    bool quoted = false;      // inside a quoted field
    bool wasQuoted = false;   // the current field was quoted and has closed
    bool rowHasContent = false;
    int line = 1;
    const auto endField = [&] {
        row.push_back(std::move(field));
        field.clear();
        atFieldStart = true;
        wasQuoted = false;
    };
    const auto endRow = [&] {
        if (rowHasContent) {
            endField();
            rows.push_back(std::move(row));
        }
        row.clear();
        rowHasContent = false;
        ++line;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
                wasQuoted = true;
            } else {
                line += c == '\n' ? 1 : 0;
                field += c;
            }
            continue;
        }
        if (c == ',') {
            endField();
            rowHasContent = true;
        } else if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            i += c == '\r' ? 1 : 0;
            endRow();
        } else if (c == '"' && atFieldStart) {
            quoted = true;
            atFieldStart = false;
            rowHasContent = true;
        } else if (c == '"' || wasQuoted) {
            return refused("line " + std::to_string(line) + ": a quote inside a field");
        } else {
            field += c;
            atFieldStart = false;
            rowHasContent = true;
        }
    }
    if (quoted) {
        return refused("line " + std::to_string(line) + ": a quoted field is not closed");
    }
    endRow();
    return rows;
}

} // namespace tavolix::cli

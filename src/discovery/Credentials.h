#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tavolix {

// The login account and password are kept in copies of this many bytes; the
// window's login fields take no more, and tavolixctl refuses a longer --user.
inline constexpr std::size_t loginFieldSize = 16;

// Standard Base64 (RFC 4648 alphabet, "=" padding, no line breaks). Clears
// output, then appends the encoding of input.
void base64Encode(std::string_view input, std::string& output);

// The login account and password joined by ":" and Base64-encoded; the text
// the Credentials record carries (its first 32 characters).
std::string encodeCredentials(std::string_view account, std::string_view password);

} // namespace tavolix

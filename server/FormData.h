// Decoding of form-encoded text (query strings and POST bodies) and HTML escaping.
// Pure functions over bytes; used by every request handler of the order server.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "util/Html.h"

namespace tolmi::server {

// One name=value pair of a form, decoded.
struct FormField {
  std::string name;
  std::string value;
};

// Decodes form encoding: "+" becomes a space, "%XX" the byte XX. Returns nothing when a "%"
// is not followed by two hexadecimal digits.
std::optional<std::string> FormDecode(std::string_view text);

// Encodes like the merchant's program does: letters, digits, space, "*", ".", "-", "_" stay
// (space as "+"), every other byte becomes "%XX" with upper-case hex digits.
std::string FormEncode(std::string_view text);

// Splits "a=1&b=2" into decoded pairs, in order. A pair without "=" has an empty value; empty
// pairs ("&&") are skipped. Returns nothing when any part has a bad "%" escape.
std::optional<std::vector<FormField>> ParseForm(std::string_view text);

// The first value of a field, or nothing.
std::optional<std::string> FindField(const std::vector<FormField>& fields, std::string_view name);

// HTML escaping is the core's (util/Html.h).
using ::tolmi::HtmlEscape;

// Removes every run from "<" to the next ">" (an unclosed "<" removes the rest).
std::string StripTags(std::string_view text);

// ASCII-only lower-casing and case-insensitive comparisons.
std::string AsciiLower(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// Parses a whole non-negative decimal number (digits only, no sign, fits in 63 bits).
std::optional<long long> ParseDecimal(std::string_view text);

}  // namespace tolmi::server

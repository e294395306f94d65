// Base64 (the standard alphabet with "=" padding, no line breaks), used for HTTP Basic and
// proxy authorization values.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tolmi {

// Encodes the bytes of input: 4 characters per 3 bytes, rounded up, padded with "=".
// An empty input gives "".
std::string Base64Encode(std::string_view input);

// Decodes a Base64 text. Spaces, tabs, CR and LF are skipped; padding is optional.
// Returns nothing when the text holds another character, a "=" before the end, or a
// length that cannot come from an encoding (a single character left over).
std::optional<std::string> Base64Decode(std::string_view text);

}  // namespace tolmi

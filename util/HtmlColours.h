// The HTML colour names the editors offer, and reading "#RRGGBB" colour texts.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tolmi {

// One row of the colour table: an upper-case name and its six-digit upper-case hex value.
struct HtmlColour {
  std::string_view name;
  std::string_view value;
};

// The 136 rows in display order. A few names stand twice (with equal values) and a few
// values differ slightly from the CSS ones; stored styles rely on these exact values.
std::span<const HtmlColour> HtmlColourTable();

// The hex value (for example "A0522D") of the first row whose name equals name, ignoring
// ASCII case; nothing when no row has that name.
std::optional<std::string_view> ColourByName(std::string_view name);

// Skips leading blanks and one "#", then reads three pairs of hex digits (either case).
// Returns red in the low byte, then green, then blue, high byte 0; returns 0 when any of
// the six characters is missing or not a hex digit.
uint32_t ParseHtmlColour(std::string_view text);

}  // namespace tolmi

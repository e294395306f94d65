// Reversible hiding of short texts (passwords) stored in settings and project files.
// Not encryption: it only keeps a password from being readable at a glance.
#pragma once

#include <string>
#include <string_view>

namespace tolmi {

// The two scrambler keys. They bind every password already stored in settings and project
// files: changing them makes every stored password unreadable.
inline constexpr int kScrambleKeyFirst = 0x5A;  // for the character at position 0
inline constexpr int kScrambleKeyStep = 0x1D;   // added to the position for later characters

// Three characters per byte of text. Byte i (as a signed byte c) becomes
// (c XOR key) + i written with "%03i", key = kScrambleKeyFirst for i = 0 and
// i + kScrambleKeyStep after. Values that do not fit in three characters are written as "X"
// and two hex digits of the byte XOR ((i + kScrambleKeyStep) & 0xFF), so every byte round-trips.
std::string ScrambleText(std::string_view text);

// The inverse of ScrambleText. Never fails: a trailing incomplete group is ignored, and a group
// that is not a number, an "X" group or whose value gives no byte is skipped.
std::string UnscrambleText(std::string_view scrambled);

}  // namespace tolmi

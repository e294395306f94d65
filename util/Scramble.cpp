#include "util/Scramble.h"

#include <cstdio>

#include "util/Strings.h"

namespace tolmi {

namespace {

int KeyAt(int i) {
  return i == 0 ? kScrambleKeyFirst : i + kScrambleKeyStep;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The number written by "%03i" into three characters: "ddd" or "-dd".
bool ParseGroup(const char* g, int* value) {
  if (IsDigit(g[0]) && IsDigit(g[1]) && IsDigit(g[2])) {
    *value = (g[0] - '0') * 100 + (g[1] - '0') * 10 + (g[2] - '0');
    return true;
  }
  if (g[0] == '-' && IsDigit(g[1]) && IsDigit(g[2])) {
    *value = -((g[1] - '0') * 10 + (g[2] - '0'));
    return true;
  }
  return false;
}

}  // namespace

std::string ScrambleText(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  for (std::size_t pos = 0; pos < text.size(); ++pos) {
    const int i = static_cast<int>(pos);
    const int c = static_cast<signed char>(text[pos]);
    const long long value = static_cast<long long>(c ^ KeyAt(i)) + i;
    if (value >= -99 && value <= 999) {
      char group[8];
      std::snprintf(group, sizeof group, "%03i", static_cast<int>(value));
      out.append(group, 3);
    } else {
      const unsigned byte = static_cast<unsigned char>(text[pos]) ^ ((i + kScrambleKeyStep) & 0xFF);
      out.push_back('X');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 15]);
    }
  }
  return out;
}

std::string UnscrambleText(std::string_view scrambled) {
  std::string out;
  out.reserve(scrambled.size() / 3);
  for (std::size_t g = 0; g + 3 <= scrambled.size(); g += 3) {
    const int i = static_cast<int>(g / 3);
    const char* group = scrambled.data() + g;
    if (group[0] == 'X') {
      const int byte = HexPairToInt(group[1], group[2]);
      if (byte >= 0) out.push_back(static_cast<char>(byte ^ ((i + kScrambleKeyStep) & 0xFF)));
      continue;
    }
    int number = 0;
    if (!ParseGroup(group, &number)) continue;
    const long long c = static_cast<long long>(number - i) ^ KeyAt(i);
    if (c < -128 || c > 255) continue;  // no byte scrambles to this group
    out.push_back(static_cast<char>(static_cast<unsigned char>(c & 0xFF)));
  }
  return out;
}

}  // namespace tolmi

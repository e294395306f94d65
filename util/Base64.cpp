#include "util/Base64.h"

#include <cstdint>

namespace tolmi {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int DigitValue(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

std::string Base64Encode(std::string_view input) {
  std::string out;
  out.reserve((input.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= input.size(); i += 3) {
    uint32_t v = (uint32_t(uint8_t(input[i])) << 16) | (uint32_t(uint8_t(input[i + 1])) << 8) |
                 uint32_t(uint8_t(input[i + 2]));
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  size_t rest = input.size() - i;
  if (rest > 0) {
    uint32_t v = uint32_t(uint8_t(input[i])) << 16;
    if (rest == 2) v |= uint32_t(uint8_t(input[i + 1])) << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::optional<std::string> Base64Decode(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3 + 3);
  uint32_t bits = 0;
  int count = 0;  // digits collected in the current group of four
  size_t padding = 0;
  for (unsigned char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    if (c == '=') {
      ++padding;
      continue;
    }
    int d = DigitValue(c);
    if (d < 0 || padding > 0) return std::nullopt;
    bits = (bits << 6) | uint32_t(d);
    if (++count == 4) {
      out += char((bits >> 16) & 0xFF);
      out += char((bits >> 8) & 0xFF);
      out += char(bits & 0xFF);
      bits = 0;
      count = 0;
    }
  }
  if (count == 1 || padding > 2) return std::nullopt;
  if (padding > 0 && count + padding != 4) return std::nullopt;
  if (count == 2) {
    out += char((bits >> 4) & 0xFF);
  } else if (count == 3) {
    out += char((bits >> 10) & 0xFF);
    out += char((bits >> 2) & 0xFF);
  }
  return out;
}

}  // namespace tolmi

#include "util/Money.h"

#include <cmath>
#include <limits>

namespace tolmi {

namespace {

std::int64_t Saturate(__int128 v) {
  constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
  if (v > kMax) return kMax;
  if (v < kMin) return kMin;
  return static_cast<std::int64_t>(v);
}

std::int64_t DivRound128(__int128 num, std::int64_t den) {
  if (den <= 0) return 0;
  const bool negative = num < 0;
  __int128 magnitude = negative ? -num : num;
  const __int128 q = (magnitude * 2 + den) / (2 * static_cast<__int128>(den));
  return Saturate(negative ? -q : q);
}

constexpr std::int64_t kPow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000};

}  // namespace

std::int64_t DivRound(std::int64_t num, std::int64_t den) { return DivRound128(num, den); }

std::int64_t MulDivRound(std::int64_t a, std::int64_t b, std::int64_t den) {
  return DivRound128(static_cast<__int128>(a) * b, den);
}

std::int64_t ParseScaled(std::string_view text, int places) {
  std::string kept;
  for (char c : text)
    if ((c >= '0' && c <= '9') || c == '.' || c == '-') kept += c;
  std::size_t i = 0;
  const bool negative = i < kept.size() && kept[i] == '-';
  if (negative) ++i;
  std::int64_t value = 0;
  bool digits = false, saturated = false;
  auto push = [&](int d) {
    if (value > (kScaledLimit - d) / 10) saturated = true;
    if (!saturated) value = value * 10 + d;
  };
  for (; i < kept.size() && kept[i] >= '0' && kept[i] <= '9'; ++i) {
    digits = true;
    push(kept[i] - '0');
  }
  int taken = 0;
  int next = 0;  // the first decimal past `places`
  if (i < kept.size() && kept[i] == '.') {
    for (++i; i < kept.size() && kept[i] >= '0' && kept[i] <= '9'; ++i) {
      digits = true;
      if (taken < places) {
        push(kept[i] - '0');
        ++taken;
      } else if (taken == places) {
        next = kept[i] - '0';
        ++taken;
      }
    }
  }
  if (!digits) return 0;
  for (; taken < places; ++taken) push(0);
  if (next >= 5 && !saturated && value < kScaledLimit) ++value;
  if (saturated) value = kScaledLimit;
  return negative ? -value : value;
}

std::int64_t ParseDecimal(std::string_view text, int places) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::string number;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    if (text[i] == '-') number += '-';
    ++i;
  }
  bool point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.' && !point) {
      point = true;
    } else if (c < '0' || c > '9') {
      break;
    }
    number += c;
  }
  return ParseScaled(number, places);
}

std::string FormatScaled(std::int64_t value, int places) {
  if (places < 0) places = 0;
  if (places > 6) places = 6;
  const bool negative = value < 0;
  // The magnitude as unsigned, so the most negative value formats too.
  std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  const std::uint64_t scale = static_cast<std::uint64_t>(kPow10[places]);
  std::string out = negative ? "-" : "";
  out += std::to_string(magnitude / scale);
  if (places > 0) {
    std::string frac = std::to_string(magnitude % scale);
    out += '.' + std::string(places - frac.size(), '0') + frac;
  }
  return out;
}

Cents PercentOf(Cents amount, std::int64_t rateMilli) {
  return MulDivRound(amount, rateMilli, 100 * kPow10[kRatePlaces]);
}

Cents PerWeight(Cents perUnit, std::int64_t weightMilli) {
  return MulDivRound(perUnit, weightMilli, kPow10[kWeightPlaces]);
}

Cents CentsOfDouble(double amount) {
  if (!std::isfinite(amount)) return 0;
  const double v = amount * 100;
  if (v >= 9.2e18) return std::numeric_limits<Cents>::max();
  if (v <= -9.2e18) return std::numeric_limits<Cents>::min();
  return static_cast<Cents>(std::llround(v));
}

}  // namespace tolmi

// Money as whole cents: reading amount, weight and percentage texts into integers,
// writing them back, and the rounding steps of order figures. docs/money.md is the rule;
// the cart script (data/template/tolmi.js) implements the same functions, so the shopper's
// screen, the order records, invoices, the export and gateway amounts agree to the cent.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tolmi {

using Cents = std::int64_t;

// Decimal places of the three kinds of figure: amounts in cents, weights in thousandths of a
// unit, percentages in thousandths of a percent.
inline constexpr int kCentsPlaces = 2;
inline constexpr int kWeightPlaces = 3;
inline constexpr int kRatePlaces = 3;
// Texts are read up to this magnitude (in their own units) and saturate beyond it.
inline constexpr std::int64_t kScaledLimit = 999'999'999'999'999;

// num / den rounded half away from zero; den > 0. Computed without overflow for any
// 64-bit num; results beyond the 64-bit range saturate.
std::int64_t DivRound(std::int64_t num, std::int64_t den);
// a * b / den rounded half away from zero (den > 0), with a 128-bit product.
std::int64_t MulDivRound(std::int64_t a, std::int64_t b, std::int64_t den);

// Reads a decimal text as a whole number of 10^-places units, as the cart script reads
// prices: every byte other than a digit, "." and "-" is dropped ("$1,250.50" reads
// 1250.50), then an optional "-", digits, an optional "." and digits are taken; the first
// dropped decimal decides the rounding, half away from zero. No digit at all reads 0.
std::int64_t ParseScaled(std::string_view text, int places);
inline Cents ParseCents(std::string_view text) { return ParseScaled(text, kCentsPlaces); }

// Reads a number field of an order record (leading blanks, an optional sign, digits, an
// optional "." and digits; reading stops at anything else) as 10^-places units, rounded
// half away from zero at the first dropped decimal. No digit reads 0.
std::int64_t ParseDecimal(std::string_view text, int places);

// "-12.50" for -1250 at 2 places: fixed notation with exactly `places` decimals.
std::string FormatScaled(std::int64_t value, int places);
inline std::string FormatCents(Cents cents) { return FormatScaled(cents, kCentsPlaces); }

// The rounding steps of an order (docs/money.md):
// the tax of an amount at a rate in thousandths of a percent, rounded to the cent;
Cents PercentOf(Cents amount, std::int64_t rateMilli);
// a charge per unit of weight times a weight in thousandths, rounded to the cent.
Cents PerWeight(Cents perUnit, std::int64_t weightMilli);

// Cents of a double that holds an amount (a legacy number field), half away from zero.
Cents CentsOfDouble(double amount);

}  // namespace tolmi

// The cart script's figures in C++: reading the order form's freight text into delivery
// methods and region groups, and working out a cart's goods, freight, tax on freight, tax
// and total in whole cents by the rules of docs/money.md. data/template/tolmi.js
// (parseFreight, computeTotals) is the other implementation; both must give the same
// cents for every cart, which tests/e2e/cart-agreement.test.js checks.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/Money.h"

namespace tolmi {

struct WeightBand {
  std::int64_t limitMilli = 0;  // up to this weight, in thousandths of a unit
  Cents charge = 0;
};

// One region group of a delivery method: its regions, tax prefixes and bands or rule.
struct FreightGroup {
  std::vector<std::string> regions;
  std::optional<std::int64_t> taxMilli;      // "10%": the region's tax rate
  std::optional<std::int64_t> freightTaxMilli;  // "5f": the tax rate on freight
  std::vector<WeightBand> bands;              // sorted by limit
  std::optional<Cents> perUnitBase, perUnitRate;  // "B+Rk>10k"
  std::optional<std::string> rule;            // a rule text in place of the bands
};

struct FreightOffer {
  std::string name;  // decoded method name
  std::vector<FreightGroup> groups;
};

// Reads the freight text as the cart script does: methods with no group or no name are
// left out, a text cut short keeps what was read whole, nothing malformed fails.
std::vector<FreightOffer> ParseFreightText(std::string_view text);

// The group of method offering region, or null.
const FreightGroup* FindFreightGroup(const FreightOffer& method, std::string_view region);

// One cart line as the cart keeps it: texts as the add call passed them.
struct CartLine {
  long long quantity = 0;
  Cents unitCents = 0;
  std::int64_t weightMilli = 0;    // one unit
  Cents freightCents = 0;          // per unit (the product's F)
  std::int64_t taxRateMilli = 0;   // the product's own rate (X)
};

enum class TaxMode { Auto, Product, Region };

struct CartFigures {
  bool ok = false;
  std::string reason;  // "method", "region" or "rule" when not ok
  Cents subtotal = 0, freight = 0, freightTax = 0, tax = 0, total = 0;
  std::int64_t weightMilli = 0;
  std::vector<Cents> lineTax;  // tax of each line (sums to tax)
};

// A rule text's charge (docs/money.md lists the terms); nullopt for a rule the cart
// script cannot read.
std::optional<Cents> RuleCharge(std::string_view rule, std::int64_t weightMilli,
                                long long units, Cents subtotal);

// The figures of lines for region and method (an index into methods). Auto tax mode is
// product based when any line has a rate of its own. A store without delivery methods
// (methods empty) charges the per-item freight only and no tax.
CartFigures ComputeCart(const std::vector<FreightOffer>& methods, std::string_view region,
                        int methodIndex, const std::vector<CartLine>& lines,
                        TaxMode mode = TaxMode::Auto);

}  // namespace tolmi

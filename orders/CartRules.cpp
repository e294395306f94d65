#include "orders/CartRules.h"

#include <algorithm>
#include <regex>

#include "util/Strings.h"

namespace tolmi {

namespace {

// The cart script's patterns, in the same (ECMAScript) grammar.
const std::regex& BandRe() {
  static const std::regex re(R"(^\s*([^<]*?)\s*<=\s*([0-9]*\.?[0-9]+)\s*k\s*$)");
  return re;
}
const std::regex& PerUnitRe() {
  static const std::regex re(R"(^\s*([^+]*?)\s*\+\s*([^k]*?)\s*k\s*>\s*10\s*k\s*$)");
  return re;
}
const std::regex& TaxRe() {
  static const std::regex re(R"(^\s*(-?[0-9]*\.?[0-9]+)\s*%\s*$)");
  return re;
}
const std::regex& FreightTaxRe() {
  static const std::regex re(R"(^\s*(-?[0-9]*\.?[0-9]+)\s*f\s*$)");
  return re;
}

std::string Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return std::string(s.substr(b, e - b));
}

std::vector<std::string> Split(std::string_view s, char sep) {
  std::vector<std::string> out;
  std::size_t from = 0;
  for (;;) {
    std::size_t at = s.find(sep, from);
    out.emplace_back(s.substr(from, at == std::string_view::npos ? std::string_view::npos
                                                                  : at - from));
    if (at == std::string_view::npos) return out;
    from = at + 1;
  }
}

std::string Join(const std::vector<std::string>& parts, std::size_t from) {
  std::string out;
  for (std::size_t i = from; i < parts.size(); ++i) out += (i > from ? "," : "") + parts[i];
  return out;
}

// "+" is a space, "%XX" a byte; a broken escape stays as it is.
std::string UrlDecodeText(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < text.size() &&
               std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
               std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

struct Bands {
  std::vector<WeightBand> bands;
  std::optional<Cents> base, rate;
};

std::optional<Bands> ParseBands(const std::vector<std::string>& items, std::size_t from) {
  Bands out;
  std::smatch m;
  for (std::size_t i = from; i < items.size(); ++i) {
    if (std::regex_match(items[i], m, BandRe())) {
      out.bands.push_back({ParseScaled(m[2].str(), kWeightPlaces), ParseCents(m[1].str())});
    } else if (std::regex_match(items[i], m, PerUnitRe())) {
      out.base = ParseCents(m[1].str());
      out.rate = ParseCents(m[2].str());
    } else {
      return std::nullopt;
    }
  }
  std::stable_sort(out.bands.begin(), out.bands.end(),
                   [](const WeightBand& a, const WeightBand& b) { return a.limitMilli < b.limitMilli; });
  return out;
}

FreightGroup ParseGroupContent(const std::string& content) {
  FreightGroup group;
  std::vector<std::string> items = Split(content, ',');
  std::size_t i = 0;
  std::smatch m;
  if (i < items.size() && std::regex_match(items[i], m, TaxRe())) {
    group.taxMilli = ParseScaled(m[1].str(), kRatePlaces);
    ++i;
  }
  if (i < items.size() && std::regex_match(items[i], m, FreightTaxRe())) {
    group.freightTaxMilli = ParseScaled(m[1].str(), kRatePlaces);
    ++i;
  }
  std::string rest = Join(items, i);
  std::string squeezed;
  for (char c : rest)
    if (!std::isspace(static_cast<unsigned char>(c))) squeezed += c;
  std::optional<Bands> parsed;
  if (i < items.size() && !squeezed.empty()) parsed = ParseBands(items, i);
  if (parsed) {
    group.bands = std::move(parsed->bands);
    group.perUnitBase = parsed->base;
    group.perUnitRate = parsed->rate;
  } else {
    group.rule = Trim(rest);
  }
  return group;
}

// The group's regions and content: split at the first "(" left unmatched.
bool SplitGroup(std::string_view segment, std::string& regions, std::string& content) {
  std::vector<std::size_t> stack;
  for (std::size_t i = 0; i < segment.size(); ++i) {
    if (segment[i] == '(') stack.push_back(i);
    else if (segment[i] == ')' && !stack.empty()) stack.pop_back();
  }
  if (stack.empty()) return false;
  regions = std::string(segment.substr(0, stack[0]));
  content = std::string(segment.substr(stack[0] + 1));
  return true;
}

Cents BandCharge(const std::vector<WeightBand>& bands, const std::optional<Cents>& base,
                 const std::optional<Cents>& rate, std::int64_t weight) {
  for (const WeightBand& b : bands)
    if (weight <= b.limitMilli) return b.charge;
  if (base && weight > 10000) {
    // Every started unit above 10.
    const std::int64_t units = (weight - 10000 + 999) / 1000;
    return *base + *rate * units;
  }
  return bands.empty() ? 0 : bands.back().charge;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

}  // namespace

std::vector<FreightOffer> ParseFreightText(std::string_view text) {
  std::string s;
  for (char c : text)
    if (c != '\r' && c != '\n') s += c;
  std::vector<FreightOffer> methods;
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t open = s.find('(', i);
    if (open == std::string::npos) break;
    FreightOffer method;
    method.name = Trim(UrlDecodeText(std::string_view(s).substr(i, open - i)));
    i = open + 1;
    bool closed = false;
    while (i < s.size()) {
      if (s.compare(i, 2, ");") == 0) {
        i += 2;
        closed = true;
        break;
      }
      std::size_t end = s.find(");", i);
      std::string segment = end == std::string::npos ? s.substr(i) : s.substr(i, end - i);
      i = end == std::string::npos ? s.size() : end + 2;
      std::string regions, content;
      if (!SplitGroup(segment, regions, content)) continue;
      FreightGroup group = ParseGroupContent(content);
      for (const std::string& r : Split(regions, ','))
        if (std::string t = Trim(r); !t.empty()) group.regions.push_back(t);
      if (!group.regions.empty()) method.groups.push_back(std::move(group));
    }
    if (!method.name.empty() && !method.groups.empty()) methods.push_back(std::move(method));
    if (!closed) break;
  }
  return methods;
}

const FreightGroup* FindFreightGroup(const FreightOffer& method, std::string_view region) {
  for (const FreightGroup& g : method.groups)
    if (std::find(g.regions.begin(), g.regions.end(), region) != g.regions.end()) return &g;
  return nullptr;
}

std::optional<Cents> RuleCharge(std::string_view rule, std::int64_t weightMilli, long long units,
                                Cents subtotal) {
  static const std::regex freeFrom(R"(^free\s*(?:>=|over|from)\s*([0-9]*\.?[0-9]+)$)");
  static const std::regex perItem(R"(^([0-9]*\.?[0-9]+)\s*\/\s*item$)");
  static const std::regex perWeight(R"(^([0-9]*\.?[0-9]+)\s*\/\s*k$)");
  static const std::regex plain(R"(^[0-9]*\.?[0-9]+$)");
  Cents charge = 0;
  std::vector<std::string> bandItems;
  std::optional<Cents> freeAbove;
  std::smatch m;
  for (const std::string& term : Split(rule, ',')) {
    const std::string t = Lower(Trim(term));
    if (t.empty()) continue;
    if (t == "free") {
      freeAbove = 0;
    } else if (std::regex_match(t, m, freeFrom)) {
      freeAbove = ParseCents(m[1].str());
    } else if (std::regex_match(t, m, perItem)) {
      charge += ParseCents(m[1].str()) * units;
    } else if (std::regex_match(t, m, perWeight)) {
      charge += PerWeight(ParseCents(m[1].str()), weightMilli);
    } else if (std::regex_match(t, plain)) {
      charge += ParseCents(t);
    } else if (std::regex_match(t, BandRe()) || std::regex_match(t, PerUnitRe())) {
      bandItems.push_back(t);
    } else {
      return std::nullopt;
    }
  }
  if (!bandItems.empty()) {
    std::optional<Bands> parsed = ParseBands(bandItems, 0);
    if (parsed) charge += BandCharge(parsed->bands, parsed->base, parsed->rate, weightMilli);
  }
  if (freeAbove && subtotal >= *freeAbove) return 0;
  return charge;
}

CartFigures ComputeCart(const std::vector<FreightOffer>& methods, std::string_view region,
                        int methodIndex, const std::vector<CartLine>& lines, TaxMode mode) {
  CartFigures r;
  long long units = 0;
  Cents itemFreight = 0;
  bool anyRate = false;
  std::vector<Cents> lineTotals;
  for (const CartLine& l : lines) {
    const long long qty = std::max(0LL, l.quantity);
    const Cents lineTotal = l.unitCents * qty;
    lineTotals.push_back(lineTotal);
    r.subtotal += lineTotal;
    units += qty;
    r.weightMilli += l.weightMilli * qty;
    itemFreight += l.freightCents * qty;
    if (l.taxRateMilli != 0) anyRate = true;
  }
  r.total = r.subtotal;
  // The order form of a store without delivery methods works with one empty group.
  static const FreightGroup kNoDelivery{{""}, {}, {}, {}, {}, {}, {}};
  const FreightGroup* group = &kNoDelivery;
  if (!methods.empty()) {
    if (methodIndex < 0 || static_cast<std::size_t>(methodIndex) >= methods.size()) {
      r.reason = "method";
      return r;
    }
    group = FindFreightGroup(methods[static_cast<std::size_t>(methodIndex)], region);
    if (!group) {
      r.reason = "region";
      return r;
    }
  }
  std::optional<Cents> charge =
      group->rule ? RuleCharge(*group->rule, r.weightMilli, units, r.subtotal)
                  : std::optional<Cents>(BandCharge(group->bands, group->perUnitBase,
                                                    group->perUnitRate, r.weightMilli));
  if (!charge) {
    r.reason = "rule";
    return r;
  }
  r.freight = *charge + itemFreight;
  r.freightTax = group->freightTaxMilli ? PercentOf(r.freight, *group->freightTaxMilli) : 0;
  const bool byProduct = mode == TaxMode::Product || (mode == TaxMode::Auto && anyRate);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    Cents t = 0;
    if (group->taxMilli) t = PercentOf(lineTotals[i], byProduct ? lines[i].taxRateMilli : *group->taxMilli);
    r.lineTax.push_back(t);
    r.tax += t;
  }
  r.ok = true;
  r.total = r.subtotal + r.freight + r.freightTax + r.tax;
  return r;
}

}  // namespace tolmi

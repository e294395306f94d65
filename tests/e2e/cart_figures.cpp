// The C++ side of the cart agreement test: reads carts from standard input and prints the
// figures orders/CartRules.h works out for each, one line per cart, for
// cart-agreement.test.js to compare with the cart script's.
//   in:  "C" freight text / "R" region / "M" method mode / "L" qty TAB price TAB weight TAB
//        freight TAB tax (one per line) / "E" ends the cart
//   out: "ok SUBTOTAL FREIGHT FREIGHTTAX TAX TOTAL LINETAX,..." or "no REASON", then a last
//        line "checked N flagged M": the orders the cart script would send for the carts it
//        can send (worked out, quantities 1 and up) run through the price check against a
//        catalogue of their products, and how many it did not find matching.
#include <iostream>
#include <sstream>
#include <string>

#include "orders/CartRules.h"
#include "orders/PriceCheck.h"
#include "util/Money.h"

namespace {
using namespace tolmi;

// The order the cart script sends for these lines and figures, checked against a catalogue
// holding each line's product (code "P1", "P2", ...) and the store's offers.
bool CheckedHonest(const std::string& freightText, const std::string& region, int method,
                   const std::vector<CartLine>& lines, const CartFigures& f) {
  CatalogueHistory catalogue;
  catalogue.current.offers = ParseFreightText(freightText);
  OrderRecord order;
  order.orderId = "1";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const CartLine& l = lines[i];
    CatalogueProduct p;
    p.code = "P" + std::to_string(i + 1);
    p.unitCents = l.unitCents;
    p.weightMilli = l.weightMilli;
    p.freightCents = l.freightCents;
    p.taxRateMilli = l.taxRateMilli;
    catalogue.current.products.push_back(p);
    OrderItem item;
    item.code = p.code;
    item.quantity = static_cast<std::int32_t>(l.quantity);
    item.unitCents = l.unitCents;
    item.weightMilli = l.weightMilli;
    item.freightCents = l.freightCents * l.quantity;
    item.taxRateMilli = l.taxRateMilli;
    item.taxCents = f.lineTax[i];
    order.items.push_back(item);
  }
  if (!catalogue.current.offers.empty()) {
    AppendField(order, "Region", region);
    AppendField(order, "Delivery", catalogue.current.offers[method].name);
  }
  AppendField(order, "Freight", FormatCents(f.freight));
  AppendField(order, "FreightTax", FormatCents(f.freightTax));
  AppendField(order, "Tax", FormatCents(f.tax));
  order.totalCents = f.total;
  return CheckOrderPrices(order, catalogue).mark == PriceMark::Matches;
}

}  // namespace

int main() {
  long long checked = 0, flagged = 0;
  std::string freight, region, line;
  int method = 0;
  TaxMode mode = TaxMode::Auto;
  std::vector<CartLine> lines;
  while (std::getline(std::cin, line)) {
    if (line.empty()) continue;
    const std::string rest = line.size() > 2 ? line.substr(2) : std::string();
    switch (line[0]) {
      case 'C': freight = rest; break;
      case 'R': region = rest; break;
      case 'M': {
        std::istringstream in(rest);
        std::string m;
        in >> method >> m;
        mode = m == "product" ? TaxMode::Product : m == "region" ? TaxMode::Region : TaxMode::Auto;
        break;
      }
      case 'L': {
        std::vector<std::string> f;
        std::istringstream in(rest);
        for (std::string field; std::getline(in, field, '\t');) f.push_back(field);
        f.resize(5);
        lines.push_back({std::stoll(f[0]), ParseCents(f[1]), ParseScaled(f[2], kWeightPlaces),
                         ParseCents(f[3]), ParseScaled(f[4], kRatePlaces)});
        break;
      }
      case 'E': {
        CartFigures r = ComputeCart(ParseFreightText(freight), region, method, lines, mode);
        if (!r.ok) {
          std::cout << "no " << r.reason << "\n";
        } else {
          std::cout << "ok " << r.subtotal << ' ' << r.freight << ' ' << r.freightTax << ' '
                    << r.tax << ' ' << r.total << ' ';
          for (std::size_t i = 0; i < r.lineTax.size(); ++i) std::cout << (i ? "," : "") << r.lineTax[i];
          std::cout << "\n";
          bool sendable = mode == TaxMode::Auto;
          for (const CartLine& l : lines) sendable = sendable && l.quantity >= 1;
          if (sendable) {
            ++checked;
            if (!CheckedHonest(freight, region, method, lines, r)) ++flagged;
          }
        }
        freight.clear();
        region.clear();
        lines.clear();
        break;
      }
      default: break;
    }
  }
  std::cout << "checked " << checked << " flagged " << flagged << "\n";
  return 0;
}

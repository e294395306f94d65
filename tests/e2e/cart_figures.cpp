// The C++ side of the cart agreement test: reads carts from standard input and prints the
// figures orders/CartRules.h works out for each, one line per cart, for
// cart-agreement.test.js to compare with the cart script's.
//   in:  "C" freight text / "R" region / "M" method mode / "L" qty TAB price TAB weight TAB
//        freight TAB tax (one per line) / "E" ends the cart
//   out: "ok SUBTOTAL FREIGHT FREIGHTTAX TAX TOTAL LINETAX,..." or "no REASON"
#include <iostream>
#include <sstream>
#include <string>

#include "orders/CartRules.h"
#include "util/Money.h"

int main() {
  using namespace tolmi;
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
        std::size_t from = 0;
        for (;;) {
          std::size_t tab = rest.find('\t', from);
          f.push_back(rest.substr(from, tab == std::string::npos ? tab : tab - from));
          if (tab == std::string::npos) break;
          from = tab + 1;
        }
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
        }
        freight.clear();
        region.clear();
        lines.clear();
        break;
      }
      default: break;
    }
  }
  return 0;
}

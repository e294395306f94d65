#include "orders/PriceCheck.h"

#include <algorithm>
#include <functional>

#include "builder/Freight.h"
#include "project/Lifecycle.h"
#include "project/ProjectFile.h"

namespace tolmi {

namespace {

constexpr long long kMaxQuantity = 999;  // the cart's most of one item

bool Built(const StoreNode& node) {
  for (const StoreNode* n = &node; n && !n->isTopHolder; n = n->parent)
    if (!n->Enabled()) return false;
  return true;
}

std::string RateText(const std::string& tax) {
  std::string t = tax;
  if (std::size_t p = t.find('%'); p != std::string::npos) t.erase(p, 1);
  return t;
}

// The product of catalogue with code whose figures equal the line's, else the first with
// code; null when none has it.
const CatalogueProduct* FindProduct(const Catalogue& catalogue, std::string_view code,
                                    const std::function<bool(const CatalogueProduct&)>& same) {
  const CatalogueProduct* first = nullptr;
  for (const CatalogueProduct& p : catalogue.products) {
    if (p.code != code) continue;
    if (same(p)) return &p;
    if (!first) first = &p;
  }
  return first;
}

std::string LineName(std::size_t index, const OrderItem& item) {
  return "line " + std::to_string(index + 1) + " (" + item.code.value_or("no code") + ")";
}

std::string Figure(std::string_view what, std::string_view order, std::string_view catalogue) {
  return std::string(what) + " " + std::string(order) + ", catalogue " + std::string(catalogue);
}

bool Offered(const std::vector<std::string>& options, const std::optional<std::string>& chosen) {
  if (!chosen || chosen->empty()) return true;
  return std::find(options.begin(), options.end(), *chosen) != options.end();
}

int MethodIndex(const std::vector<FreightOffer>& offers, std::string_view name) {
  for (std::size_t i = 0; i < offers.size(); ++i)
    if (offers[i].name == name) return static_cast<int>(i);
  return -1;
}

Cents FieldCents(const OrderRecord& order, std::string_view name) {
  const OrderField* f = FindField(order, name);
  return f ? ParseAmount(f->value) : 0;
}

}  // namespace

Catalogue CatalogueOf(const StoreProject& project) {
  Catalogue c;
  ForEachNode(project, [&](const StoreNode& node) {
    if (node.kind != NodeKind::Product || node.code.empty() || !Built(node)) return;
    CatalogueProduct p;
    // The add call drops quotes from the code, and the order server cuts it at ":".
    p.code = node.code;
    std::erase(p.code, '\'');
    std::erase(p.code, '"');
    p.code = p.code.substr(0, p.code.find(':'));
    p.unitCents = ParseCents(node.cost.empty() ? "0.00" : node.cost);
    p.weightMilli = ParseScaled(node.weight, kWeightPlaces);
    p.freightCents = ParseCents(node.freight);
    p.taxRateMilli = ParseScaled(RateText(node.tax), kRatePlaces);
    p.options1 = node.options1;
    p.options2 = node.options2;
    c.products.push_back(std::move(p));
  });
  c.offers = ParseFreightText(FreightText(project));
  return c;
}

namespace {
void AddEarlierVersions(CatalogueHistory& history, const std::string& projectPath,
                        const ProjectFileContext& context) {
  if (projectPath.empty()) return;
  for (const BackupEntry& backup : ListBackups(projectPath)) {
    if (!backup.problem.empty()) continue;
    StoreProject project;
    if (ReadProjectFile(project, backup.path, nullptr, false, context))
      history.earlier.push_back(CatalogueOf(project));
  }
}
}  // namespace

Result<CatalogueHistory> LoadCatalogueHistory(const std::string& projectPath,
                                              const std::vector<KnownRegion>* domains) {
  ProjectFileContext context;
  context.domains = domains;
  CatalogueHistory history;
  {
    StoreProject project;
    Result<ProjectReadStats> read = ReadProjectFile(project, projectPath, nullptr, false, context);
    if (!read) return read.status();
    history.current = CatalogueOf(project);
  }
  AddEarlierVersions(history, projectPath, context);
  return history;
}

CatalogueHistory CatalogueHistoryOf(const StoreProject& project, const std::string& path,
                                    const std::vector<KnownRegion>* domains) {
  ProjectFileContext context;
  context.domains = domains;
  CatalogueHistory history;
  history.current = CatalogueOf(project);
  AddEarlierVersions(history, path, context);
  return history;
}

int CheckReceivedOrders(OrdersTree& tree, const std::vector<std::string>& ids,
                        const CatalogueHistory& catalogue) {
  int differing = 0;
  ForEachRecord(tree.records, [&](OrderRecord& order) {
    if (order.kind != RecordKind::Order || order.orderId.empty() ||
        std::find(ids.begin(), ids.end(), order.orderId) == ids.end())
      return;
    PriceCheckResult result = CheckOrderPrices(order, catalogue);
    if (!result.checked()) return;
    if (ApplyPriceCheck(order, result)) tree.changed = true;
    if (result.mark == PriceMark::Differs) ++differing;
  });
  return differing;
}

PriceCheckResult CheckOrderPrices(const OrderRecord& order, const CatalogueHistory& catalogue) {
  PriceCheckResult result;
  std::vector<std::size_t> products;
  for (std::size_t i = 0; i < order.items.size(); ++i)
    if (order.items[i].rowKind == RowKind::Product) products.push_back(i);
  if (order.kind != RecordKind::Order || order.orderId.empty() || products.empty())
    return result;

  std::vector<CartLine> lines;
  for (std::size_t n = 0; n < products.size(); ++n) {
    const OrderItem& it = order.items[products[n]];
    const std::string where = LineName(n, it);
    const std::string code = it.code.value_or("");
    CartLine line{it.quantity, it.unitCents, it.weightMilli, 0, it.taxRateMilli};
    // The line's own per-unit freight, when it divides evenly (else it cannot match).
    line.freightCents = it.quantity != 0 ? it.freightCents / it.quantity : it.freightCents;
    if (it.quantity <= 0 || it.quantity > kMaxQuantity)
      result.differences.push_back(where + ": quantity " + std::to_string(it.quantity));
    auto same = [&](const CatalogueProduct& p) {
      return p.unitCents == it.unitCents && p.weightMilli == it.weightMilli &&
             p.freightCents * it.quantity == it.freightCents && p.taxRateMilli == it.taxRateMilli;
    };
    const CatalogueProduct* now = FindProduct(catalogue.current, code, same);
    const CatalogueProduct* then = nullptr;
    if (!now || !same(*now)) {
      for (const Catalogue& earlier : catalogue.earlier) {
        const CatalogueProduct* p = FindProduct(earlier, code, same);
        if (p && same(*p)) {
          then = p;
          break;
        }
      }
    }
    const CatalogueProduct* used = then ? then : now;
    if (!now && then) {
      result.changes.push_back(where + ": no longer in the catalogue");
    } else if (then) {
      result.changes.push_back(where + ": the catalogue price changed since the order (now " +
                               FormatCents(now->unitCents) + ")");
    } else if (!now) {
      result.differences.push_back(where + ": unknown product code");
    } else {
      if (now->unitCents != it.unitCents)
        result.differences.push_back(
            Figure(where + ": unit price", FormatCents(it.unitCents), FormatCents(now->unitCents)));
      if (now->weightMilli != it.weightMilli)
        result.differences.push_back(Figure(where + ": weight", FormatScaled(it.weightMilli, 3),
                                            FormatScaled(now->weightMilli, 3)));
      if (now->freightCents * it.quantity != it.freightCents)
        result.differences.push_back(Figure(where + ": freight", FormatCents(it.freightCents),
                                            FormatCents(now->freightCents * it.quantity)));
      if (now->taxRateMilli != it.taxRateMilli)
        result.differences.push_back(Figure(where + ": tax rate",
                                            FormatScaled(it.taxRateMilli, 3) + "%",
                                            FormatScaled(now->taxRateMilli, 3) + "%"));
    }
    if (used) {
      if (!Offered(used->options1, it.option1) || !Offered(used->options2, it.option2))
        result.differences.push_back(where + ": an option the product does not offer");
      line = {it.quantity, used->unitCents, used->weightMilli, used->freightCents,
              used->taxRateMilli};
    }
    lines.push_back(line);
  }

  // The order's freight and tax, for its region and delivery method: by today's rates,
  // else by an earlier version's.
  const OrderField* regionField = FindField(order, "Region");
  const OrderField* methodField = FindField(order, "Delivery");
  const std::string region = regionField ? regionField->value : std::string();
  const std::string method = methodField ? methodField->value : std::string();
  auto figuresBy = [&](const Catalogue& c) {
    // An order without a delivery method comes from a store that had none.
    if (!methodField && !regionField) return ComputeCart({}, "", 0, lines);
    return ComputeCart(c.offers, region, MethodIndex(c.offers, method), lines);
  };
  struct Sent {
    Cents freight, freightTax, tax, total;
    std::vector<Cents> lineTax;
  } sent{FieldCents(order, "Freight"), FieldCents(order, "FreightTax"), FieldCents(order, "Tax"),
         order.totalCents, {}};
  for (std::size_t i : products) sent.lineTax.push_back(order.items[i].taxCents);
  auto agrees = [&](const CartFigures& f) {
    return f.ok && f.freight == sent.freight && f.freightTax == sent.freightTax &&
           f.tax == sent.tax && f.total == sent.total && f.lineTax == sent.lineTax;
  };
  CartFigures figures = figuresBy(catalogue.current);
  if (!agrees(figures)) {
    for (const Catalogue& earlier : catalogue.earlier) {
      CartFigures f = figuresBy(earlier);
      if (agrees(f) && f.ok) {
        if (!figures.ok || figures.freight != f.freight || figures.freightTax != f.freightTax)
          result.changes.push_back("the freight rates changed since the order");
        figures = f;
        break;
      }
    }
  }
  if (!figures.ok) {
    result.differences.push_back(
        figures.reason == "rule"
            ? "the freight rule for " + region + " cannot be worked out"
            : "delivery '" + method + "' to '" + region + "' is not offered");
  } else {
    for (std::size_t n = 0; n < products.size(); ++n)
      if (figures.lineTax[n] != sent.lineTax[n])
        result.differences.push_back(Figure(LineName(n, order.items[products[n]]) + ": tax",
                                            FormatCents(sent.lineTax[n]),
                                            FormatCents(figures.lineTax[n])));
    if (figures.freight != sent.freight)
      result.differences.push_back(
          Figure("freight", FormatCents(sent.freight), FormatCents(figures.freight)));
    if (figures.freightTax != sent.freightTax)
      result.differences.push_back(
          Figure("tax on freight", FormatCents(sent.freightTax), FormatCents(figures.freightTax)));
    if (figures.tax != sent.tax)
      result.differences.push_back(
          Figure("tax", FormatCents(sent.tax), FormatCents(figures.tax)));
    if (figures.total != sent.total)
      result.differences.push_back(
          Figure("total", FormatCents(sent.total), FormatCents(figures.total)));
  }
  result.mark = !result.differences.empty() ? PriceMark::Differs
                : !result.changes.empty()   ? PriceMark::CatalogueChanged
                                            : PriceMark::Matches;
  return result;
}

bool ApplyPriceCheck(OrderRecord& order, const PriceCheckResult& result) {
  std::vector<std::string> notes = result.differences;
  notes.insert(notes.end(), result.changes.begin(), result.changes.end());
  if (order.priceMark == result.mark && order.priceNotes == notes) return false;
  order.priceMark = result.mark;
  order.priceNotes = std::move(notes);
  return true;
}

std::string_view PriceMarkText(PriceMark mark) {
  switch (mark) {
    case PriceMark::Matches: return "matches the catalogue";
    case PriceMark::CatalogueChanged: return "catalogue changed since the order";
    case PriceMark::Differs: return "DIFFERS from the catalogue";
    case PriceMark::Unchecked: break;
  }
  return "not checked";
}

std::string MarkedChargeQuestion(const OrderRecord& order) {
  std::string text = "Order " + order.name +
                     " does not match the store's catalogue: its figures may have been "
                     "changed by the shopper.\n";
  std::size_t shown = 0;
  for (const std::string& note : order.priceNotes) {
    if (++shown > 5) {
      text += "...\n";
      break;
    }
    text += "  " + note + "\n";
  }
  return text + "Do you wish to charge it anyway?";
}

}  // namespace tolmi

// The price check of downloaded orders against the store project they came from. The
// shopper's browser works out every figure and the order server files what it is sent, so
// an edited page (or a broken cart script) can order a 34.00 teapot at 0.34. The check
// works each order out again from the catalogue, by the cart script's own rules
// (orders/CartRules.h), and lists every figure that differs.
//
// Products that no longer exist, or whose figures changed after the order, are told apart
// from tampering by the project's earlier versions (its "Backup" folder): a figure that an
// earlier version of the catalogue gave is a catalogue change, not a difference.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "orders/CartRules.h"
#include "orders/OrdersTree.h"
#include "project/StoreProject.h"
#include "util/Result.h"

namespace tolmi {

// A product of the catalogue as the add calls of its pages hand it to the cart.
struct CatalogueProduct {
  std::string code;
  Cents unitCents = 0;
  std::int64_t weightMilli = 0;
  Cents freightCents = 0;  // per unit
  std::int64_t taxRateMilli = 0;
  std::vector<std::string> options1, options2;
};

// One version of the catalogue: the orderable products and the freight text's offers.
struct Catalogue {
  std::vector<CatalogueProduct> products;  // enabled products with a code, tree order
  std::vector<FreightOffer> offers;
};

// The catalogue of a project: every product with a code whose page is built (it and its
// ancestors enabled), and the offers of the project's freight text.
Catalogue CatalogueOf(const StoreProject& project);

// The current catalogue of the project file at path and its earlier versions (the files
// of its "Backup" folder, newest first; unreadable ones are skipped), read with the domain
// list that names freight regions as the built store names them. Fails when the project
// file cannot be read.
struct CatalogueHistory {
  Catalogue current;
  std::vector<Catalogue> earlier;
};
Result<CatalogueHistory> LoadCatalogueHistory(const std::string& projectPath,
                                              const std::vector<KnownRegion>* domains);
// The same for a project already open (its earlier versions from the file's backups; none
// when path is empty).
CatalogueHistory CatalogueHistoryOf(const StoreProject& project, const std::string& path,
                                    const std::vector<KnownRegion>* domains);

struct PriceCheckResult {
  PriceMark mark = PriceMark::Unchecked;
  std::vector<std::string> differences;  // figures no catalogue version gave
  std::vector<std::string> changes;      // catalogue changes since the order
  bool checked() const { return mark != PriceMark::Unchecked; }
};

// Checks one order: each product line's code, options, unit price, weight, line freight,
// tax rate and tax, then the order's "Freight", "FreightTax", "Tax" and total against the
// freight for its "Region" and "Delivery". Orders that did not come from the store (no
// order id, or no product lines) and folders are left Unchecked.
PriceCheckResult CheckOrderPrices(const OrderRecord& order, const CatalogueHistory& catalogue);

// Stores a result on the order: the mark, and the differences followed by the changes as
// its notes. Returns whether the mark or notes changed.
bool ApplyPriceCheck(OrderRecord& order, const PriceCheckResult& result);

// Checks and marks the orders of tree whose order ids are in ids (the orders a download
// just filed); sets the tree's change mark when a mark changed. Returns how many differ.
int CheckReceivedOrders(OrdersTree& tree, const std::vector<std::string>& ids,
                        const CatalogueHistory& catalogue);

// "matches the catalogue", "catalogue changed since the order", "DIFFERS from the
// catalogue", "not checked".
std::string_view PriceMarkText(PriceMark mark);

// The question before charging an order marked Differs (Yes and No, title "Confirmation"),
// naming the order and its first differences.
std::string MarkedChargeQuestion(const OrderRecord& order);

}  // namespace tolmi

// Order records in memory: the tree of folders and orders the orders window shows,
// with their customer fields and product lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/Money.h"

namespace tolmi {

enum class RecordKind : std::uint8_t { UserFolder = 0, Order = 1, Trash = 2, NewOrders = 3 };

// Exactly one status is set at a time.
enum OrderStatus : std::uint16_t {
  kStatusUnread = 0,
  kStatusCharged = 1,
  kStatusDispatched = 2,
  kStatusConfirm = 4,
  kStatusBackOrder = 8,
  kStatusCancelled = 16,
  kStatusChargeback = 32,
  kStatusPending = 64,
  kStatusRejected = 128,
};

// Display rows follow the product lines while an order is shown; never saved.
enum class RowKind : std::uint8_t {
  Product = 0,
  Freight = 38,
  Tax = 39,
  Separator = 40,
  Total = 41
};

struct OrderField {
  std::string name;
  std::string value;
};

struct OrderItem {
  std::string name;
  std::optional<std::string> code;
  std::optional<std::string> extraText1;
  std::optional<std::string> extraText2;
  std::optional<std::string> option1;
  std::optional<std::string> option2;
  std::int32_t quantity = 0;
  // Amounts are whole cents from the moment they are read (docs/money.md).
  Cents unitCents = 0;      // price of one unit
  Cents taxCents = 0;       // tax charged on the line
  std::int64_t taxRateMilli = 0;  // tax rate in thousandths of a percent
  std::int64_t weightMilli = 0;   // weight of one unit in thousandths
  Cents freightCents = 0;   // freight of the line
  bool disabled = false;  // memory only
  RowKind rowKind = RowKind::Product;

  // quantity x unit price.
  Cents LineCents() const { return static_cast<Cents>(quantity) * unitCents; }
};

// What the price check against the store's catalogue found (orders/PriceCheck.h); kept in
// the orders file under keys that readers without it skip.
enum class PriceMark : std::uint8_t {
  Unchecked = 0,
  Matches = 1,         // every figure as the catalogue gives it
  CatalogueChanged = 2,  // matches the catalogue as it was; products or prices changed since
  Differs = 3,         // figures the catalogue never gave: ask before charging
};

// A number no record made before in this run has: the in-memory identity of a record, since
// names (of folders above all) repeat. Never saved.
std::uint64_t NewRecordUid();

struct OrderRecord {
  std::uint64_t uid = NewRecordUid();  // memory only; kept by moves, new for CopyRecord
  RecordKind kind = RecordKind::Order;
  std::string name;
  std::string orderId;
  std::int32_t orderDate = 0;
  std::uint16_t status = kStatusUnread;
  std::vector<OrderField> fields;
  std::vector<OrderItem> items;
  Cents totalCents = 0;    // from the field "Total" or "Amount"
  Cents freightCents = 0;  // from the field "Freight"
  Cents taxCents = 0;      // from the field "Tax"
  std::int32_t chargeDate = 0;  // memory only
  PriceMark priceMark = PriceMark::Unchecked;
  std::vector<std::string> priceNotes;  // the differences and changes the check listed
  std::vector<OrderRecord> children;
};

// The orders file as a tree last read or wrote it, so that a save can tell whether
// another program changed the file since (see SaveOrders).
struct OrdersFileState {
  bool known = false;                // the tree was read from or written to the file
  std::uint64_t device = 0, inode = 0, size = 0;
  std::int64_t modifiedNs = 0;
  std::vector<std::string> orderKeys;  // OrderKey of every order in that file, sorted
};

struct OrdersTree {
  std::vector<OrderRecord> records;          // the top level, in file order
  std::optional<OrderRecord> fieldTemplate;  // copy of the latest order read or received
  OrdersFileState file;                      // kept by LoadOrders and SaveOrders
  bool changed = false;  // edited since the last load or save (the orders' change mark)
};

// The status label ("Unread", "Charged", ...); "Unknown" for a value that is not one status.
std::string_view StatusText(std::uint16_t status);
// The status whose label equals text (any case); nullopt when none does.
std::optional<std::uint16_t> StatusFromText(std::string_view text);

// First field named exactly name, or null.
const OrderField* FindField(const OrderRecord& record, std::string_view name);
OrderField* FindField(OrderRecord& record, std::string_view name);
// Appends a field and applies it to the totals.
void AppendField(OrderRecord& record, std::string_view name, std::string_view value);
// "Amount"/"Total" set total, "Freight" freight, "Tax" tax (any case). True if it was one.
bool ApplyFieldToTotals(OrderRecord& record, std::string_view name, std::string_view value);

// Light copies (the field template, the order a charge works on): a record keeps name, id,
// kind, status, charge date, freight, fields, items and children, not the order date, total
// and tax; an item keeps name, code, extra text 1, options, quantity, price and the disabled flag.
OrderRecord CopyRecord(const OrderRecord& record);
OrderItem CopyItem(const OrderItem& item);
// Whole copies for the orders window's clipboard, so that an order moved by cut and paste
// keeps its date, totals and its lines' tax, weight and freight: every value of the record
// and its product lines, with fresh uids throughout (display rows are left out).
OrderRecord DuplicateRecord(const OrderRecord& record);
OrderItem DuplicateItem(const OrderItem& item);

// Number readers that never fail: leading blanks, optional sign, digits; 0 when none.
// Out-of-range values saturate. Amounts read with ParseDecimal (util/Money.h).
std::int32_t ParseInt32(std::string_view text);
float ParseFloat(std::string_view text);
// An amount field's value in cents (ParseDecimal at two places).
inline Cents ParseAmount(std::string_view text) { return ParseDecimal(text, kCentsPlaces); }

// New Orders and Trash folders.
OrderRecord MakeFolder(RecordKind kind, std::string name);

// Walks the tree depth-first in file order; the callback may not change the tree's shape.
template <typename Records, typename F>
void ForEachRecord(Records& records, F&& f) {
  std::vector<std::pair<Records*, std::size_t>> stack{{&records, 0}};
  while (!stack.empty()) {
    auto& [list, index] = stack.back();
    if (index >= list->size()) {
      stack.pop_back();
      continue;
    }
    auto& rec = (*list)[index++];
    f(rec);
    if (!rec.children.empty()) stack.push_back({&rec.children, 0});
  }
}

}  // namespace tolmi

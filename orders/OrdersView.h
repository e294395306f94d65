// What the orders window shows of the orders tree, without any window code: records
// found by their in-memory uid, the rows of the orders list and of the items list (with
// the display rows below the product lines), and the details pane's label and value
// pairs with the commit of an edit back into the order.
//
// Display rows (freight, separator, tax, total) are computed for the items list from the
// order's totals; they are never stored in the order's items, so nothing can save them.
// The details pane of a product line shows " Item:", " Option1:" and " Option2:" when the
// line has that option, then " ProductCode:", " Quantity:" and " Cost:".
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "orders/OrdersTree.h"

namespace tolmi {

// Where a record lies: the list holding it, its index there, its parent folder (null at
// the top level) and whether a Trash folder lies above it.
struct RecordPlace {
  std::vector<OrderRecord>* list = nullptr;
  std::size_t index = 0;
  OrderRecord* parent = nullptr;
  bool inTrash = false;
  OrderRecord& record() const { return (*list)[index]; }
};
// The place of the record with that uid anywhere in the tree; nullopt when none has it.
std::optional<RecordPlace> LocateRecord(std::vector<OrderRecord>& records, std::uint64_t uid);
// The record with that uid, or null.
OrderRecord* FindRecord(std::vector<OrderRecord>& records, std::uint64_t uid);

bool IsFolder(const OrderRecord& record);
bool IsStandardFolder(const OrderRecord& record);  // "New Orders" and "Trash" kinds

// The records the orders list shows for the selected record: a folder's direct children,
// an order alone; nothing for null.
std::vector<OrderRecord*> ListedRecords(OrderRecord* selected);

// The icon of a record in the tree and the orders list.
enum class RecordIcon { UnreadOrder, Order, UserFolder, NewOrders, Trash };
RecordIcon IconFor(const OrderRecord& record);

inline constexpr std::array<const char*, 7> kOrderListHeaders = {
    "#", "Order", "Date", "Total", "Status", "Charged", "Order ID"};
using ChargeDateText = std::function<std::string(std::time_t)>;
// The "#" cell of an order by its price check: "!" when its figures differ from the
// catalogue (ask before charging), "~" when the catalogue changed since, else empty.
std::string PriceMarkCell(PriceMark mark);

// The seven cells of a record in the orders list ("#" holds the icon and the price mark,
// PriceMarkCell). The date
// is day first; folders show only their name. chargeDate writes charge dates (never
// called for 0, which shows empty).
std::array<std::string, 7> OrderListCells(const OrderRecord& record,
                                          const ChargeDateText& chargeDate);

inline constexpr std::array<const char*, 7> kItemListHeaders = {"",    "Item", "Code", "Qty",
                                                                "Cost", "Tax", "Total"};
inline constexpr const char* kItemSeparatorText = "..............................";
// A row of the items list: a product line (item is its index in the order's items) or a
// display row (item -1).
struct ItemRow {
  RowKind kind = RowKind::Product;
  int item = -1;
  bool disabled = false;
  std::array<std::string, 6> cells;  // "Item", "Code", "Qty", "Cost", "Tax", "Total"
};
// The product lines of the order, then (when it has any) "Freight", the dotted line,
// "Tax:" (only when the store charges tax) and "Cost:".
std::vector<ItemRow> ItemRows(const OrderRecord& order, bool chargesTax);

// When the store charges tax and the order has no field "Tax", appends one with the
// order's tax ("%.2f"). True when it appended.
bool EnsureTaxField(OrderRecord& order, bool chargesTax);

inline constexpr std::size_t kMaxDetailPairs = 32;
struct DetailPair {
  std::string label;  // " Name" for a field, " Item:" and the like for an item
  std::string value;
};
// An order's fields in order, then every user-defined field (name, default) the order
// lacks; 32 pairs at most.
std::vector<DetailPair> OrderDetails(const OrderRecord& order,
                                     const std::vector<OrderField>& customFields);
// Commits the pane into the order: a label naming a field sets it (and the totals), any
// other non-empty label appends a field. True when a total changed.
bool CommitOrderDetails(OrderRecord& order, const std::vector<DetailPair>& pairs);

// The pane for a row of the items list (product line or display row).
std::vector<DetailPair> ItemDetails(const OrderRecord& order, const ItemRow& row);
// Commits the pane of that row. A product line takes name, its existing options, code,
// quantity and unit price; a display row sets the freight, tax or total (and the field
// "Freight", "Tax" or "Amount" when the order has it). True when something changed.
bool CommitItemDetails(OrderRecord& order, const ItemRow& row,
                       const std::vector<DetailPair>& pairs);

}  // namespace tolmi

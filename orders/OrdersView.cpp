#include "orders/OrdersView.h"

#include <cstdio>

#include "orders/CsvExport.h"
#include "orders/Invoices.h"
#include "util/Dates.h"
#include "util/Strings.h"

namespace tolmi {

namespace {
std::string Amount(Cents v) { return FormatCents(v); }

bool Locate(std::vector<OrderRecord>& list, OrderRecord* parent, std::uint64_t uid,
            bool inTrash, RecordPlace& out, int depth) {
  if (depth > 1000) return false;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i].uid == uid) {
      out = {&list, i, parent, inTrash};
      return true;
    }
    if (Locate(list[i].children, &list[i], uid, inTrash || list[i].kind == RecordKind::Trash,
               out, depth + 1))
      return true;
  }
  return false;
}

std::string Trimmed(std::string s) { return StrTrimWhite(s); }

const DetailPair* Pair(const std::vector<DetailPair>& pairs, std::string_view label) {
  for (const auto& p : pairs)
    if (p.label == label) return &p;
  return nullptr;
}
}  // namespace

std::optional<RecordPlace> LocateRecord(std::vector<OrderRecord>& records, std::uint64_t uid) {
  RecordPlace place;
  if (!Locate(records, nullptr, uid, false, place, 0)) return std::nullopt;
  return place;
}

OrderRecord* FindRecord(std::vector<OrderRecord>& records, std::uint64_t uid) {
  auto place = LocateRecord(records, uid);
  return place ? &place->record() : nullptr;
}

bool IsFolder(const OrderRecord& record) { return record.kind != RecordKind::Order; }
bool IsStandardFolder(const OrderRecord& record) {
  return record.kind == RecordKind::NewOrders || record.kind == RecordKind::Trash;
}

std::vector<OrderRecord*> ListedRecords(OrderRecord* selected) {
  std::vector<OrderRecord*> out;
  if (!selected) return out;
  if (!IsFolder(*selected)) return {selected};
  for (auto& child : selected->children) out.push_back(&child);
  return out;
}

RecordIcon IconFor(const OrderRecord& record) {
  switch (record.kind) {
    case RecordKind::UserFolder: return RecordIcon::UserFolder;
    case RecordKind::NewOrders: return RecordIcon::NewOrders;
    case RecordKind::Trash: return RecordIcon::Trash;
    case RecordKind::Order: break;
  }
  return record.status == kStatusUnread ? RecordIcon::UnreadOrder : RecordIcon::Order;
}

std::string PriceMarkCell(PriceMark mark) {
  return mark == PriceMark::Differs ? "!" : mark == PriceMark::CatalogueChanged ? "~" : "";
}

std::array<std::string, 7> OrderListCells(const OrderRecord& record,
                                          const ChargeDateText& chargeDate) {
  std::array<std::string, 7> cells;
  cells[1] = record.name;
  if (IsFolder(record)) return cells;
  cells[0] = PriceMarkCell(record.priceMark);
  cells[2] = FormatDateTime(record.orderDate, false);
  cells[3] = Amount(record.totalCents);
  cells[4] = std::string(ListStatusText(record.status));
  if (record.chargeDate != 0 && chargeDate) cells[5] = chargeDate(record.chargeDate);
  cells[6] = record.orderId;
  return cells;
}

std::vector<ItemRow> ItemRows(const OrderRecord& order, bool chargesTax) {
  std::vector<ItemRow> rows;
  for (std::size_t i = 0; i < order.items.size(); ++i) {
    const OrderItem& it = order.items[i];
    if (it.rowKind != RowKind::Product) continue;
    ItemRow row{RowKind::Product, static_cast<int>(i), it.disabled, {}};
    row.cells = {ItemDescription(it), it.code.value_or(""), std::to_string(it.quantity),
                 Amount(it.unitCents),  Amount(it.taxCents),  Amount(it.LineCents())};
    rows.push_back(std::move(row));
  }
  if (rows.empty()) return rows;
  const OrderField* freightTax = FindField(order, "FreightTax");
  rows.push_back({RowKind::Freight, -1, false,
                  {"Freight", "", "", "", freightTax ? freightTax->value : "",
                   Amount(order.freightCents)}});
  rows.push_back({RowKind::Separator, -1, false, {kItemSeparatorText, "", "", "", "", ""}});
  if (chargesTax) rows.push_back({RowKind::Tax, -1, false, {"Tax:", "", "", "", "", Amount(order.taxCents)}});
  rows.push_back({RowKind::Total, -1, false, {"Cost:", "", "", "", "", Amount(order.totalCents)}});
  return rows;
}

bool EnsureTaxField(OrderRecord& order, bool chargesTax) {
  if (!chargesTax || order.kind != RecordKind::Order || FindField(order, "Tax")) return false;
  order.fields.push_back({"Tax", Amount(order.taxCents)});
  return true;
}

std::vector<DetailPair> OrderDetails(const OrderRecord& order,
                                     const std::vector<OrderField>& customFields) {
  std::vector<DetailPair> pairs;
  for (const auto& f : order.fields) {
    if (pairs.size() >= kMaxDetailPairs) return pairs;
    pairs.push_back({" " + f.name, f.value});
  }
  for (const auto& c : customFields) {
    if (pairs.size() >= kMaxDetailPairs) break;
    if (c.name.empty() || FindField(order, c.name)) continue;
    pairs.push_back({" " + c.name, c.value});
  }
  return pairs;
}

bool CommitOrderDetails(OrderRecord& order, const std::vector<DetailPair>& pairs) {
  const Cents total = order.totalCents, freight = order.freightCents, tax = order.taxCents;
  for (const auto& p : pairs) {
    const std::string name = Trimmed(p.label);
    if (name.empty()) continue;
    if (OrderField* f = FindField(order, name)) {
      if (f->value == p.value) continue;
      f->value = p.value;
      ApplyFieldToTotals(order, name, p.value);
    } else {
      AppendField(order, name, p.value);
    }
  }
  return order.totalCents != total || order.freightCents != freight || order.taxCents != tax;
}

std::vector<DetailPair> ItemDetails(const OrderRecord& order, const ItemRow& row) {
  switch (row.kind) {
    case RowKind::Freight: return {{" Freight:", Amount(order.freightCents)}};
    case RowKind::Tax: return {{" Tax:", Amount(order.taxCents)}};
    case RowKind::Total: return {{" Total:", Amount(order.totalCents)}};
    case RowKind::Separator: return {};
    case RowKind::Product: break;
  }
  if (row.item < 0 || static_cast<std::size_t>(row.item) >= order.items.size()) return {};
  const OrderItem& it = order.items[static_cast<std::size_t>(row.item)];
  std::vector<DetailPair> pairs{{" Item:", it.name}};
  if (it.option1) pairs.push_back({" Option1:", *it.option1});
  if (it.option2) pairs.push_back({" Option2:", *it.option2});
  pairs.push_back({" ProductCode:", it.code.value_or("")});
  pairs.push_back({" Quantity:", std::to_string(it.quantity)});
  pairs.push_back({" Cost:", Amount(it.unitCents)});
  return pairs;
}

bool CommitItemDetails(OrderRecord& order, const ItemRow& row,
                       const std::vector<DetailPair>& pairs) {
  auto setAmount = [&](Cents& target, const char* label, const char* field) {
    const DetailPair* p = Pair(pairs, label);
    if (!p) return false;
    const Cents v = ParseAmount(p->value);
    bool changed = v != target;
    target = v;
    if (OrderField* f = FindField(order, field)) {
      const std::string text = Amount(v);
      changed = changed || f->value != text;
      f->value = text;
    }
    return changed;
  };
  switch (row.kind) {
    case RowKind::Freight: return setAmount(order.freightCents, " Freight:", "Freight");
    case RowKind::Tax: return setAmount(order.taxCents, " Tax:", "Tax");
    case RowKind::Total: return setAmount(order.totalCents, " Total:", "Amount");
    case RowKind::Separator: return false;
    case RowKind::Product: break;
  }
  if (row.item < 0 || static_cast<std::size_t>(row.item) >= order.items.size()) return false;
  OrderItem& it = order.items[static_cast<std::size_t>(row.item)];
  const OrderItem before = it;
  if (const DetailPair* p = Pair(pairs, " Item:")) it.name = p->value;
  if (const DetailPair* p = Pair(pairs, " Option1:"); p && it.option1) it.option1 = p->value;
  if (const DetailPair* p = Pair(pairs, " Option2:"); p && it.option2) it.option2 = p->value;
  if (const DetailPair* p = Pair(pairs, " ProductCode:"))
    it.code = p->value.empty() && !it.code ? std::nullopt : std::optional<std::string>(p->value);
  if (const DetailPair* p = Pair(pairs, " Quantity:")) it.quantity = ParseInt32(p->value);
  if (const DetailPair* p = Pair(pairs, " Cost:")) it.unitCents = ParseAmount(p->value);
  return it.name != before.name || it.option1 != before.option1 ||
         it.option2 != before.option2 || it.code != before.code ||
         it.quantity != before.quantity || it.unitCents != before.unitCents;
}

}  // namespace tolmi

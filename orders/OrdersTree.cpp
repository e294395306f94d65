#include "orders/OrdersTree.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "util/Strings.h"

namespace tolmi {

namespace {
struct StatusName {
  std::uint16_t value;
  std::string_view text;
};
constexpr StatusName kStatusNames[] = {
    {kStatusUnread, "Unread"},         {kStatusCharged, "Charged"},
    {kStatusDispatched, "Dispatched"}, {kStatusConfirm, "Confirm"},
    {kStatusBackOrder, "Back Order"},  {kStatusCancelled, "Cancelled"},
    {kStatusChargeback, "Chargeback"}, {kStatusPending, "Pending"},
    {kStatusRejected, "Rejected"},
};
}  // namespace

std::string_view StatusText(std::uint16_t status) {
  for (const auto& s : kStatusNames)
    if (s.value == status) return s.text;
  return "Unknown";
}

std::optional<std::uint16_t> StatusFromText(std::string_view text) {
  for (const auto& s : kStatusNames)
    if (EqualsNoCase(s.text, text)) return s.value;
  return std::nullopt;
}

const OrderField* FindField(const OrderRecord& record, std::string_view name) {
  for (const auto& f : record.fields)
    if (f.name == name) return &f;
  return nullptr;
}

OrderField* FindField(OrderRecord& record, std::string_view name) {
  for (auto& f : record.fields)
    if (f.name == name) return &f;
  return nullptr;
}

void AppendField(OrderRecord& record, std::string_view name, std::string_view value) {
  record.fields.push_back({std::string(name), std::string(value)});
  ApplyFieldToTotals(record, name, value);
}

bool ApplyFieldToTotals(OrderRecord& record, std::string_view name, std::string_view value) {
  if (EqualsNoCase(name, "Amount") || EqualsNoCase(name, "Total")) {
    record.totalCents = ParseAmount(value);
  } else if (EqualsNoCase(name, "Freight")) {
    record.freightCents = ParseAmount(value);
  } else if (EqualsNoCase(name, "Tax")) {
    record.taxCents = ParseAmount(value);
  } else {
    return false;
  }
  return true;
}

OrderItem CopyItem(const OrderItem& item) {
  OrderItem c;
  c.name = item.name;
  c.code = item.code;
  c.extraText1 = item.extraText1;
  c.option1 = item.option1;
  c.option2 = item.option2;
  c.quantity = item.quantity;
  c.unitCents = item.unitCents;
  c.disabled = item.disabled;
  return c;
}

std::uint64_t NewRecordUid() {
  static std::atomic<std::uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

OrderRecord CopyRecord(const OrderRecord& record) {
  OrderRecord c;
  c.kind = record.kind;
  c.name = record.name;
  c.orderId = record.orderId;
  c.status = record.status;
  c.chargeDate = record.chargeDate;
  c.freightCents = record.freightCents;
  c.priceMark = record.priceMark;
  c.priceNotes = record.priceNotes;
  c.fields = record.fields;
  for (const auto& item : record.items)
    if (item.rowKind == RowKind::Product) c.items.push_back(CopyItem(item));
  for (const auto& child : record.children) c.children.push_back(CopyRecord(child));
  return c;
}

OrderItem DuplicateItem(const OrderItem& item) {
  OrderItem c = item;
  c.rowKind = RowKind::Product;
  return c;
}

namespace {
void RenewForDuplicate(OrderRecord& record) {
  record.uid = NewRecordUid();
  std::erase_if(record.items,
                [](const OrderItem& item) { return item.rowKind != RowKind::Product; });
  for (auto& child : record.children) RenewForDuplicate(child);
}
}  // namespace

OrderRecord DuplicateRecord(const OrderRecord& record) {
  OrderRecord c = record;
  RenewForDuplicate(c);
  return c;
}

std::int32_t ParseInt32(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    v = v * 10 + (text[i] - '0');
    if (v > 1LL << 32) v = 1LL << 32;
  }
  if (negative) v = -v;
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(v);
}

float ParseFloat(std::string_view text) {
  std::string copy(text.substr(0, 400));
  errno = 0;
  double v = std::strtod(copy.c_str(), nullptr);
  if (!std::isfinite(v)) return 0;
  if (v > 3.0e38) return 3.0e38f;
  if (v < -3.0e38) return -3.0e38f;
  return static_cast<float>(v);
}

OrderRecord MakeFolder(RecordKind kind, std::string name) {
  OrderRecord r;
  r.kind = kind;
  r.name = std::move(name);
  return r;
}

}  // namespace tolmi

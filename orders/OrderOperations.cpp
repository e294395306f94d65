#include "orders/OrderOperations.h"

#include <climits>

namespace tolmi {

void MarkStatus(OrderRecord& order, std::uint16_t status, std::time_t now) {
  order.status = status;
  if (status == kStatusCharged && order.chargeDate == 0)
    order.chargeDate = static_cast<std::int32_t>(now);
}

void MarkRead(OrderRecord& order) {
  if (order.kind == RecordKind::Order && order.status == kStatusUnread)
    order.status = kStatusPending;
}

OrderRecord NewOrderFromTemplate(const std::optional<OrderRecord>& fieldTemplate,
                                 int& nextOrderNumber) {
  OrderRecord r;
  r.kind = RecordKind::Order;
  r.name = std::to_string(nextOrderNumber);
  if (nextOrderNumber < INT_MAX) ++nextOrderNumber;
  if (fieldTemplate)
    for (const auto& f : fieldTemplate->fields) r.fields.push_back({f.name, std::string()});
  return r;
}

OrderRecord* FindOrderByName(std::vector<OrderRecord>& records, std::string_view name) {
  OrderRecord* found = nullptr;
  ForEachRecord(records, [&](OrderRecord& r) {
    if (!found && r.kind == RecordKind::Order && r.name == name) found = &r;
  });
  return found;
}

std::vector<const OrderRecord*> AllOrders(const std::vector<OrderRecord>& records) {
  std::vector<const OrderRecord*> out;
  ForEachRecord(records, [&](const OrderRecord& r) {
    if (r.kind == RecordKind::Order) out.push_back(&r);
  });
  return out;
}

namespace {
// Finds the list holding the record named name and its index; inTrash tells whether a Trash
// folder lies above it.
bool Locate(std::vector<OrderRecord>& list, std::string_view name, bool inTrash,
            std::vector<OrderRecord>*& owner, std::size_t& index, bool& foundInTrash, int depth) {
  if (depth > 1000) return false;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i].name == name) {
      owner = &list;
      index = i;
      foundInTrash = inTrash;
      return true;
    }
    if (Locate(list[i].children, name, inTrash || list[i].kind == RecordKind::Trash, owner, index,
               foundInTrash, depth + 1))
      return true;
  }
  return false;
}
}  // namespace

std::optional<bool> RecordInTrash(std::vector<OrderRecord>& records, std::string_view name) {
  std::vector<OrderRecord>* owner = nullptr;
  std::size_t index = 0;
  bool inTrash = false;
  if (!Locate(records, name, false, owner, index, inTrash, 0)) return std::nullopt;
  return inTrash;
}

DeleteOutcome DeleteRecord(std::vector<OrderRecord>& records, std::string_view name) {
  std::vector<OrderRecord>* owner = nullptr;
  std::size_t index = 0;
  bool inTrash = false;
  if (!Locate(records, name, false, owner, index, inTrash, 0)) return DeleteOutcome::NotFound;
  OrderRecord& r = (*owner)[index];
  if (r.kind == RecordKind::NewOrders || r.kind == RecordKind::Trash)
    return DeleteOutcome::Protected;
  if (inTrash) {
    owner->erase(owner->begin() + static_cast<std::ptrdiff_t>(index));
    return DeleteOutcome::Deleted;
  }
  OrderRecord moved = std::move(r);  // a move keeps every datum, the order date included
  owner->erase(owner->begin() + static_cast<std::ptrdiff_t>(index));
  OrderRecord* trash = nullptr;
  for (auto& top : records)
    if (top.kind == RecordKind::Trash) {
      trash = &top;
      break;
    }
  if (!trash) {
    records.push_back(MakeFolder(RecordKind::Trash, "Trash"));
    trash = &records.back();
  }
  trash->children.insert(trash->children.begin(), std::move(moved));
  return DeleteOutcome::MovedToTrash;
}

}  // namespace tolmi

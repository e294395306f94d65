#include "orders/OrderCommands.h"

#include <algorithm>
#include <functional>
#include <set>

#include "orders/OrderOperations.h"
#include "orders/OrdersView.h"

namespace tolmi {

namespace {
// Puts record where New Folder and New Order go; returns its uid.
std::uint64_t Place(std::vector<OrderRecord>& records, std::uint64_t selected, OrderRecord record) {
  const std::uint64_t uid = record.uid;
  auto place = LocateRecord(records, selected);
  if (!place) {
    records.push_back(std::move(record));
  } else if (IsFolder(place->record())) {
    place->record().children.push_back(std::move(record));
  } else {
    place->list->insert(place->list->begin() + static_cast<std::ptrdiff_t>(place->index) + 1,
                        std::move(record));
  }
  return uid;
}

// The uids without those whose (movable) ancestor is also among them, in tree order.
std::vector<std::uint64_t> Topmost(std::vector<OrderRecord>& records,
                                   const std::vector<std::uint64_t>& uids) {
  const std::set<std::uint64_t> chosen(uids.begin(), uids.end());
  std::vector<std::uint64_t> out;
  std::function<void(std::vector<OrderRecord>&, bool, int)> walk =
      [&](std::vector<OrderRecord>& list, bool below, int depth) {
        if (depth > 1000) return;
        for (auto& r : list) {
          const bool isChosen = chosen.count(r.uid) != 0;
          if (isChosen && !below) out.push_back(r.uid);
          // The standard folders never move, so they do not carry their children along.
          walk(r.children, below || (isChosen && !IsStandardFolder(r)), depth + 1);
        }
      };
  walk(records, false, 0);
  return out;
}
}  // namespace

std::uint64_t NewFolder(std::vector<OrderRecord>& records, std::uint64_t selected) {
  return Place(records, selected, MakeFolder(RecordKind::UserFolder, "New Folder"));
}

std::uint64_t NewOrder(OrdersTree& tree, std::uint64_t selected, int& nextOrderNumber) {
  return Place(tree.records, selected, NewOrderFromTemplate(tree.fieldTemplate, nextOrderNumber));
}

std::size_t NewProduct(OrderRecord& order) {
  OrderItem item;
  item.name = "New Product";
  item.quantity = 1;
  order.items.push_back(std::move(item));
  return order.items.size() - 1;
}

std::vector<OrderRecord> CopyRecords(std::vector<OrderRecord>& records,
                                     const std::vector<std::uint64_t>& uids) {
  std::vector<OrderRecord> clip;
  for (std::uint64_t uid : Topmost(records, uids)) {
    const OrderRecord* r = FindRecord(records, uid);
    if (r && !IsStandardFolder(*r)) clip.push_back(DuplicateRecord(*r));
  }
  return clip;
}

std::vector<std::uint64_t> PasteRecords(std::vector<OrderRecord>& records,
                                        const std::vector<OrderRecord>& clip,
                                        std::uint64_t selected, PasteTarget target) {
  std::vector<std::uint64_t> inserted;
  auto place = LocateRecord(records, selected);
  if (!place || clip.empty()) return inserted;
  OrderRecord& sel = place->record();
  std::vector<OrderRecord>* list = nullptr;
  std::size_t at = 0;
  if (target == PasteTarget::Tree) {
    if (IsFolder(sel)) {
      list = &sel.children;
      at = list->size();
    } else {
      list = place->list;
      at = place->index + 1;
    }
  } else if (sel.kind == RecordKind::UserFolder) {
    list = &sel.children;
    at = list->size();
  } else {
    list = place->parent && !IsStandardFolder(sel) ? &place->parent->children : &records;
    at = list->size();
  }
  for (const auto& r : clip) {
    OrderRecord copy = DuplicateRecord(r);
    inserted.push_back(copy.uid);
    list->insert(list->begin() + static_cast<std::ptrdiff_t>(at++), std::move(copy));
  }
  return inserted;
}

std::size_t PasteItems(OrderRecord& order, const std::vector<OrderItem>& clip) {
  std::size_t n = 0;
  for (const auto& it : clip)
    if (it.rowKind == RowKind::Product) {
      order.items.push_back(DuplicateItem(it));
      ++n;
    }
  return n;
}

bool RenameFolder(OrderRecord& record, const std::string& title) {
  if (record.kind != RecordKind::UserFolder || title.empty() || record.name == title) return false;
  record.name = title;
  return true;
}

DeleteResult DeleteRecords(std::vector<OrderRecord>& records,
                           const std::vector<std::uint64_t>& uids, const ConfirmDelete& confirm) {
  DeleteResult result;
  bool confirmed = false;
  for (std::uint64_t uid : Topmost(records, uids)) {
    auto place = LocateRecord(records, uid);
    if (!place || IsStandardFolder(place->record())) continue;
    if (place->inTrash && !confirmed) {
      if (!confirm || !confirm()) continue;
      confirmed = true;
    }
    std::vector<OrderRecord>& list = *place->list;
    const std::size_t index = place->index;
    const std::uint64_t parentUid = place->parent ? place->parent->uid : 0;
    OrderRecord moved = std::move(list[index]);
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
    result.changed = true;
    if (!place->inTrash) {
      auto trash = std::find_if(records.begin(), records.end(),
                                [](const OrderRecord& r) { return r.kind == RecordKind::Trash; });
      if (trash == records.end()) {
        records.push_back(MakeFolder(RecordKind::Trash, "Trash"));
        trash = records.end() - 1;
      }
      trash->children.insert(trash->children.begin(), std::move(moved));
    }
    // The list may have moved when the Trash was made at the top level: find it again.
    auto again = parentUid ? LocateRecord(records, parentUid) : std::nullopt;
    if (parentUid && !again) continue;
    std::vector<OrderRecord>& after = again ? again->record().children : records;
    if (index < after.size()) result.nextSelection = after[index].uid;
    else if (index > 0 && index - 1 < after.size()) result.nextSelection = after[index - 1].uid;
    else result.nextSelection = parentUid;
  }
  return result;
}

std::size_t MarkRecords(std::vector<OrderRecord>& records, const std::vector<std::uint64_t>& uids,
                        std::uint16_t status, std::time_t now) {
  std::size_t n = 0;
  for (std::uint64_t uid : uids)
    if (OrderRecord* r = FindRecord(records, uid); r && r->kind == RecordKind::Order) {
      MarkStatus(*r, status, now);
      ++n;
    }
  return n;
}

std::uint16_t PressedStatus(const OrderRecord& order) {
  return order.status == kStatusUnread ? static_cast<std::uint16_t>(kStatusPending) : order.status;
}

bool SetItemsDisabled(OrderRecord& order, const std::vector<int>& items, bool disabled) {
  bool changed = false;
  for (int i : items)
    if (i >= 0 && static_cast<std::size_t>(i) < order.items.size() &&
        order.items[static_cast<std::size_t>(i)].disabled != disabled) {
      order.items[static_cast<std::size_t>(i)].disabled = disabled;
      changed = true;
    }
  return changed;
}

bool DeleteItems(OrderRecord& order, std::vector<int> items) {
  std::sort(items.rbegin(), items.rend());
  items.erase(std::unique(items.begin(), items.end()), items.end());
  bool changed = false;
  for (int i : items)
    if (i >= 0 && static_cast<std::size_t>(i) < order.items.size()) {
      order.items.erase(order.items.begin() + i);
      changed = true;
    }
  return changed;
}

std::vector<const OrderRecord*> ExportSet(std::vector<OrderRecord>& records, bool listFocused,
                                          const std::vector<std::uint64_t>& listSelection,
                                          std::uint64_t selected) {
  std::vector<const OrderRecord*> out;
  if (listFocused) {
    for (std::uint64_t uid : listSelection)
      if (const OrderRecord* r = FindRecord(records, uid)) out.push_back(r);
    return out;
  }
  for (OrderRecord* r : ListedRecords(FindRecord(records, selected))) out.push_back(r);
  return out;
}

bool OrdersCommandEnabled(OrdersCommandId id, const OrdersWindowState& s) {
  const bool listFocus = s.focus == OrdersFocus::List;
  const bool itemsFocus = s.focus == OrdersFocus::Items;
  const bool orderSelected = s.selected && s.selected->kind == RecordKind::Order;
  // The records Copy, Cut and Delete would take: the list's selection or the tree's record.
  auto anyMovable = [&] {
    if (listFocus) {
      for (const OrderRecord* r : s.listSelection)
        if (!IsStandardFolder(*r)) return true;
      return false;
    }
    return s.selected && !IsStandardFolder(*s.selected);
  };
  switch (id) {
    case OrdersCommandId::Save: return s.changed;
    case OrdersCommandId::Copy:
    case OrdersCommandId::Cut:
    case OrdersCommandId::Delete:
      if (itemsFocus) return s.itemSelection > 0;
      return anyMovable();
    case OrdersCommandId::Paste:
      if (itemsFocus) return s.clipHasItems && orderSelected;
      return s.clipHasRecords && s.selected != nullptr;
    case OrdersCommandId::Rename: return s.selected && s.selected->kind == RecordKind::UserFolder;
    case OrdersCommandId::MarkAs:
      if (listFocus)
        return std::any_of(s.listSelection.begin(), s.listSelection.end(),
                           [](const OrderRecord* r) { return r->kind == RecordKind::Order; });
      return orderSelected;
    case OrdersCommandId::NewProduct: return orderSelected;
    case OrdersCommandId::EnableItems:
    case OrdersCommandId::DisableItems: return orderSelected && s.itemSelection > 0;
    case OrdersCommandId::Charge:
    case OrdersCommandId::Invoice: return orderSelected;
  }
  return false;
}

}  // namespace tolmi

// The orders window's commands on the tree, found by record uid: new folders and
// orders, copy and paste, rename, delete through the Trash, status marks on several
// orders, item enable and disable, the records an export takes, and which commands
// are offered. None of these set the tree's change mark: the caller does when they
// report a change.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <vector>

#include "orders/OrdersTree.h"

namespace tolmi {

// A user folder titled "New Folder": after the selected order in its folder, as the last
// child of the selected folder, or last at the top level when nothing (0) is selected.
// Returns the new folder's uid.
std::uint64_t NewFolder(std::vector<OrderRecord>& records, std::uint64_t selected);

// A new order from the tree's field template, named by nextOrderNumber (which then
// increases), placed like NewFolder. Returns its uid.
std::uint64_t NewOrder(OrdersTree& tree, std::uint64_t selected, int& nextOrderNumber);

// Appends a product line "New Product" (quantity 1) to the order. Returns its index.
std::size_t NewProduct(OrderRecord& order);

// Whole copies (DuplicateRecord) of the records with those uids for the clipboard; the
// standard folders and records whose ancestor is also chosen are left out.
std::vector<OrderRecord> CopyRecords(std::vector<OrderRecord>& records,
                                     const std::vector<std::uint64_t>& uids);

enum class PasteTarget { Tree, List };
// Inserts fresh copies of clip. Tree: as last children of the selected folder, or after
// the selected order in its folder. List: as last children of the selected user folder,
// or else of the selected record's parent (the top level for the standard folders).
// Returns the uids of the inserted records (none without a selection).
std::vector<std::uint64_t> PasteRecords(std::vector<OrderRecord>& records,
                                        const std::vector<OrderRecord>& clip,
                                        std::uint64_t selected, PasteTarget target);
// Copies of the clipboard's product lines appended to the order. Returns how many.
std::size_t PasteItems(OrderRecord& order, const std::vector<OrderItem>& clip);

// Renames a user folder; anything else (or an empty title) is left alone. True if renamed.
bool RenameFolder(OrderRecord& record, const std::string& title);

// Asked once per record inside the Trash until the first Yes: true for Yes.
using ConfirmDelete = std::function<bool()>;
struct DeleteResult {
  bool changed = false;
  std::uint64_t nextSelection = 0;  // the record after the last deleted one, else before it
};
// Deletes the records: the standard folders are kept; a record outside the Trash moves
// (with everything below it) to the top of the first top-level Trash folder (made when
// missing); a record inside the Trash goes for good once confirm said Yes. No keeps that
// record and the question comes again for the next; after the first Yes nothing is asked.
DeleteResult DeleteRecords(std::vector<OrderRecord>& records,
                           const std::vector<std::uint64_t>& uids, const ConfirmDelete& confirm);

// Sets status on every order among uids (folders are skipped); Charged sets the charge
// date when unset. Returns how many orders were marked.
std::size_t MarkRecords(std::vector<OrderRecord>& records, const std::vector<std::uint64_t>& uids,
                        std::uint16_t status, std::time_t now);
// The status whose button shows pressed for the order (Unread shows as Pending).
std::uint16_t PressedStatus(const OrderRecord& order);
// The eight status buttons, in order: Pending, Dispatched, Charged, Rejected, Cancelled,
// Chargeback, Confirm, Back Order.
inline constexpr std::uint16_t kStatusButtons[8] = {
    kStatusPending,   kStatusDispatched, kStatusCharged, kStatusRejected,
    kStatusCancelled, kStatusChargeback, kStatusConfirm, kStatusBackOrder};

// Sets or clears the disabled flag of the product lines at those indexes. True on a change.
bool SetItemsDisabled(OrderRecord& order, const std::vector<int>& items, bool disabled);
// Removes the product lines at those indexes. True on a change.
bool DeleteItems(OrderRecord& order, std::vector<int> items);

// The records an export writes: the orders list's selection when it has the focus,
// otherwise the selected order, or every record listed for a selected folder.
std::vector<const OrderRecord*> ExportSet(std::vector<OrderRecord>& records, bool listFocused,
                                          const std::vector<std::uint64_t>& listSelection,
                                          std::uint64_t selected);

// What the enabling rules look at.
enum class OrdersFocus { Tree, List, Items, Details };
struct OrdersWindowState {
  OrdersFocus focus = OrdersFocus::Tree;
  const OrderRecord* selected = nullptr;          // the tree's selected record
  std::vector<const OrderRecord*> listSelection;  // the orders list's selected rows
  std::size_t itemSelection = 0;                  // selected product lines
  bool clipHasRecords = false, clipHasItems = false;
  bool changed = false;
};
enum class OrdersCommandId {
  Save, Copy, Cut, Paste, Delete, Rename, MarkAs, NewProduct, EnableItems, DisableItems,
  Charge, Invoice
};
// Whether the window offers the command: Save only with the change mark; Copy, Cut and
// Delete not for the standard folders; Rename for a user folder; status marks when an
// order is selected or the orders list has the focus with a selection.
bool OrdersCommandEnabled(OrdersCommandId id, const OrdersWindowState& state);

}  // namespace tolmi

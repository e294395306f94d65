// Order commands that change the tree: status marks, reading, new orders, trash.
#pragma once

#include <ctime>
#include <vector>

#include "orders/OrdersTree.h"

namespace tolmi {

// Sets the status; Charged also sets the charge date to now when it is still 0.
void MarkStatus(OrderRecord& order, std::uint16_t status, std::time_t now);
// An Unread order becomes Pending when the merchant reads it.
void MarkRead(OrderRecord& order);
// A hand-made order: the template's field names with empty values, the next order number
// as its name (the number then increases).
OrderRecord NewOrderFromTemplate(const std::optional<OrderRecord>& fieldTemplate,
                                 int& nextOrderNumber);

// The order (kind 1) named name anywhere in the tree, or null.
OrderRecord* FindOrderByName(std::vector<OrderRecord>& records, std::string_view name);
// Every order of the tree in file order.
std::vector<const OrderRecord*> AllOrders(const std::vector<OrderRecord>& records);

// Asked before a record inside the Trash is deleted for good.
inline constexpr const char* kPermanentDeleteQuestion =
    "The selected item(s) will be permanently deleted. Do you wish to proceed?";
// Whether the record that DeleteRecord would take for name lies inside a Trash folder;
// nullopt when there is no record of that name.
std::optional<bool> RecordInTrash(std::vector<OrderRecord>& records, std::string_view name);

enum class DeleteOutcome { NotFound, Protected, MovedToTrash, Deleted };
// Deletes the record named name: the standard folders are kept; outside the Trash the record
// moves to the top of the first top-level Trash folder; inside it goes for good.
DeleteOutcome DeleteRecord(std::vector<OrderRecord>& records, std::string_view name);

}  // namespace tolmi

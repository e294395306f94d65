// Order numbers: every order that arrives or is made by hand takes the next number as
// its name. The rule lives here so that the orders window, the downloads and tolmi-cli
// number alike; callers hold the orders lock (LockOrders) from reading the tree to saving
// it, and SaveOrders renumbers unsaved orders whose numbers another program took.
#pragma once

#include <optional>
#include <string_view>

#include "orders/OrdersTree.h"

namespace tolmi {

// The number an order's name holds: 1 to 9 decimal digits and nothing else; nullopt
// for any other name.
std::optional<long long> OrderNumberOf(std::string_view name);

// The next order number: the "ordernum" setting (at least 1), moved past every order of
// the tree whose name is a number, so that names stay unique. At most INT32_MAX.
int NextOrderNumber(const OrdersTree& tree, int configured);

}  // namespace tolmi

// Orders as a comma-separated file: a header from the first order's field names, then one
// line per order and one per product line, texts in single quotes.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "orders/OrdersTree.h"
#include "util/Result.h"

namespace tolmi {

// The status text of the orders list and the export ("Pending" for Unread and Pending).
std::string_view ListStatusText(std::uint16_t status);

using DateFormatter = std::function<std::string(std::time_t)>;

// The export bytes of the orders among records (folders are skipped); empty text when
// there is no order. formatDate writes charge dates (empty quotes when never charged).
std::string ExportOrdersCsv(const std::vector<const OrderRecord*>& records,
                            const DateFormatter& formatDate);

// Writes the export to path, replacing any file there.
Status WriteOrdersCsv(const std::string& path, const std::vector<const OrderRecord*>& records,
                      const DateFormatter& formatDate);

}  // namespace tolmi

// The orders file "orders.ost" and its backup "orders.bak": exact writing, tolerant reading.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orders/OrdersTree.h"
#include "util/Result.h"

namespace tolmi {

inline constexpr const char* kOrdersFileName = "orders.ost";
inline constexpr const char* kOrdersBackupName = "orders.bak";
inline constexpr const char* kOrdersWriteError = "O101: File Write Error";
// Nesting deeper than this is flattened into the deepest level when read.
inline constexpr int kMaxOrdersDepth = 200;

// The file's bytes for these records, stamped with the time and version number given.
std::string WriteOrdersText(const std::vector<OrderRecord>& records, long long now,
                            int versionNumber);

// What one reading of an orders file found.
struct OrdersReading {
  std::vector<OrderRecord> records;
  std::optional<OrderRecord> latestOrder;
  bool sawBegin = false;
  bool sawTime = false;
  bool sawEof = false;
  // Complete: "#EOF" seen, or a header ("TIME=") without "#BEGIN".
  bool Accepted() const { return sawEof || (!sawBegin && sawTime); }
};

OrdersReading ReadOrdersText(std::string_view bytes);

// Loads folder/orders.ost into tree (replacing its records), falling back on
// folder/orders.bak when the file is incomplete or missing; adds "New Orders" and "Trash" when
// nothing was loaded; rebuilds the field template. Returns whether the backup was used.
bool LoadOrders(const std::string& folder, OrdersTree& tree);

// Saves the tree to folder/orders.ost, keeping the previous file as orders.bak (an existing
// backup is kept when there is no orders.ost). The new file is synced to disk before success
// is reported, and orders.ost never goes missing on the way; on failure the previous file
// stays and the error carries kOrdersWriteError.
Status SaveOrders(const std::string& folder, const OrdersTree& tree, long long now);

}  // namespace tolmi

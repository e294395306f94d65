// The orders file "orders.ost" and its backup "orders.bak": exact writing, tolerant reading.
#pragma once

#include <cstddef>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orders/OrdersTree.h"
#include "util/FileLock.h"
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

// Locks the orders file of folder ("orders.lock" beside it) against other programs,
// waiting up to `wait`; fails with a message naming the program that holds it. A
// command that reads, changes and saves the orders holds it from load to save.
inline constexpr const char* kOrdersLockName = "orders.lock";
Result<FileLock> LockOrders(const std::string& folder,
                            std::chrono::milliseconds wait = kDefaultLockWait);

// What LoadOrders did. Tests as true when the backup was read.
struct OrdersLoad {
  bool usedBackup = false;
  // An error when the orders were not read: the file is damaged and there is no backup
  // (it was set aside, see kOrdersDamagedName), or the orders lock could not be taken.
  Status status;
  explicit operator bool() const { return usedBackup; }
};

// An incomplete orders file is kept under this name (made unique) rather than read
// partly and later saved over.
inline constexpr const char* kOrdersDamagedName = "orders.ost.damaged";

// Loads folder/orders.ost into tree (replacing its records), under the orders lock,
// falling back on folder/orders.bak when the file is incomplete or missing; adds
// "New Orders" and "Trash" when nothing was loaded; rebuilds the field template. An
// incomplete file is moved aside as "orders.ost.damaged" (so no save replaces it);
// when there is no backup either the tree stays empty and status says so.
OrdersLoad LoadOrders(const std::string& folder, OrdersTree& tree);

// Saves the tree to folder/orders.ost under the orders lock, keeping the previous file
// as orders.bak (an existing backup is kept when there is no orders.ost). When the file
// was changed by another program since this tree read or wrote it, the orders it holds
// that the tree never saw are added to the tree first (into the folder of the same name,
// else "New Orders"; an order received twice is kept once), and orders of this tree not
// yet saved whose numbers are taken get the next free numbers, so nothing another
// program saved is lost and no number repeats. The new file is synced to disk before
// success is reported, and orders.ost never goes missing on the way; on failure the
// previous file stays and the error carries kOrdersWriteError.
// progress, when set, is told the running count of written records after every twelfth.
Status SaveOrders(const std::string& folder, OrdersTree& tree, long long now,
                  const std::function<void(std::size_t records)>& progress = {});

// The identity of an order for merging saves: its kind, name, id and order date.
std::string OrderKey(const OrderRecord& record);

}  // namespace tolmi

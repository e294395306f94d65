#include "orders/OrderNumbers.h"

#include <algorithm>
#include <cstdint>

namespace tolmi {

std::optional<long long> OrderNumberOf(std::string_view name) {
  if (name.empty() || name.size() > 9) return std::nullopt;
  long long n = 0;
  for (char c : name) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return n;
}

int NextOrderNumber(const OrdersTree& tree, int configured) {
  long long next = std::max(configured, 1);
  ForEachRecord(tree.records, [&](const OrderRecord& r) {
    if (r.kind != RecordKind::Order) return;
    if (std::optional<long long> n = OrderNumberOf(r.name)) next = std::max(next, *n + 1);
  });
  return static_cast<int>(std::min<long long>(next, INT32_MAX));
}

}  // namespace tolmi

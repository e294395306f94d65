#include "server/OrderStore.h"

#include "server/PostgresStore.h"
#include "server/SqliteStore.h"

namespace tolmi::server {

bool OrderStore::IsPostgresUri(std::string_view data) {
  return data.rfind("postgresql://", 0) == 0 || data.rfind("postgres://", 0) == 0;
}

Result<std::unique_ptr<OrderStore>> OrderStore::Open(const std::string& data) {
  if (IsPostgresUri(data)) return PostgresStore::Open(data);
  return SqliteStore::Open(data);
}

Result<long long> OrderStore::AddOrder(long long accountId, std::time_t received,
                                       const std::vector<FormField>& fields,
                                       const std::vector<std::vector<std::string>>& items,
                                       std::string card) {
  auto ids = AddOrders({NewOrder{accountId, received, &fields, &items, std::move(card)}});
  if (!ids) return ids.status();
  return ids->front();
}

}  // namespace tolmi::server

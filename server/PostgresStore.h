// The PostgreSQL store (libpq): several tolmi-server processes may share one database. Every
// statement is prepared once per connection; a dropped connection is opened again at once,
// and the statement sent again unless a transaction was under way. Orders of one account are
// written under a transaction-scoped advisory lock on that account, so their ids follow
// commit order across all processes. An order counts as stored once COMMIT returns, with the
// durability the database's synchronous_commit gives.
#pragma once

#include <memory>
#include <string>

#include "server/OrderStore.h"

typedef struct pg_conn PGconn;

namespace tolmi::server {

class PostgresStore final : public OrderStore {
 public:
  ~PostgresStore() override;
  PostgresStore(const PostgresStore&) = delete;
  PostgresStore& operator=(const PostgresStore&) = delete;

  // Connects to the "postgresql://" URI and migrates the schema (one process at a time).
  static Result<std::unique_ptr<OrderStore>> Open(const std::string& uri);

  Status AddAccount(const std::string& name, const std::string& passwordHash) override;
  Status SetPasswordHash(const std::string& name, const std::string& passwordHash) override;
  Status SetEnabled(const std::string& name, bool enabled) override;
  Result<std::optional<Account>> FindAccount(const std::string& name) override;
  Result<std::vector<Account>> ListAccounts() override;
  Result<std::vector<long long>> AddOrders(const std::vector<NewOrder>& orders) override;
  Result<std::vector<StoredOrder>> OrdersAfter(long long accountId, long long afterId) override;
  Result<long long> DeleteOrders(long long accountId, const std::vector<long long>& ids) override;
  Result<bool> SealOrder(long long id, const std::string& fields, const std::string& card) override;
  Result<std::string> Setting(const std::string& name) override;
  Result<std::string> ClaimSetting(const std::string& name, const std::string& value) override;
  Status Import(const Account& account, const std::vector<StoredOrder>& orders) override;
  Result<long long> OrderCount() override;
  int SchemaVersion() override;
  std::string DurabilityWarning() const override { return warning_; }

  struct Query;  // a prepared statement's parameters and result

 private:
  explicit PostgresStore(PGconn* conn);
  Status Connected();
  Status Prepare();
  Status Migrate();
  Status Exec(const char* sql);
  bool Run(Query& q, const char* name);
  Status Begin();
  Status Commit();
  void Rollback();
  Status Error(const std::string& what);
  PGconn* conn_;
  bool prepared_ = false;
  bool inTransaction_ = false;
  std::string warning_;
};

}  // namespace tolmi::server

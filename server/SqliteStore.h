// The SQLite store: accounts and orders in one file (WAL journal, full sync, deleted rows
// overwritten). The schema version is the file's user_version.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "server/OrderStore.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tolmi::server {

class SqliteStore final : public OrderStore {
 public:
  ~SqliteStore() override;
  SqliteStore(const SqliteStore&) = delete;
  SqliteStore& operator=(const SqliteStore&) = delete;

  // Opens (creating when missing, mode 0600) the data file and migrates its schema.
  static Result<std::unique_ptr<OrderStore>> Open(const std::string& path);

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

  // Every statement this store runs, prepared once (keyed by its text's address).
  struct Prepared {
    sqlite3* db = nullptr;
    std::map<const char*, sqlite3_stmt*> statements;
  };

 private:
  explicit SqliteStore(sqlite3* db);
  Status Migrate();
  Status Exec(const char* sql);
  Status Error(const char* what);
  sqlite3* db_;
  Prepared prepared_;  // finalized by the destructor before the database closes
};

}  // namespace tolmi::server

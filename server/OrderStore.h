// The order server's one data file: accounts and orders in SQLite (WAL journal, full sync).
// The schema carries a version number and is brought up to date when the file is opened.
// One OrderStore is used from one thread at a time; every statement is prepared.
#pragma once

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "server/OrderIntake.h"
#include "server/OrderProtocol.h"
#include "util/Result.h"

struct sqlite3;

namespace tolmi::server {

// The schema version this build writes.
inline constexpr int kSchemaVersion = 1;

struct Account {
  long long id = 0;
  std::string name;
  std::string passwordHash;
  bool enabled = true;
  long long orderCount = 0;  // filled by ListAccounts
};

class OrderStore {
 public:
  ~OrderStore();
  OrderStore(const OrderStore&) = delete;
  OrderStore& operator=(const OrderStore&) = delete;

  // Opens (creating when missing) the data file and migrates its schema. Fails with Io when
  // the file cannot be opened, Corrupt when it is not a usable database or was written by a
  // newer schema.
  static Result<std::unique_ptr<OrderStore>> Open(const std::string& path);

  // Accounts. AddAccount fails with InvalidArgument when the name exists.
  Status AddAccount(const std::string& name, const std::string& passwordHash);
  Status SetPasswordHash(const std::string& name, const std::string& passwordHash);
  Status SetEnabled(const std::string& name, bool enabled);
  // The account of that exact name, nothing when none; failure on a database error.
  Result<std::optional<Account>> FindAccount(const std::string& name);
  Result<std::vector<Account>> ListAccounts();

  // Stores an order durably in one transaction and returns its id. Ids grow and are never
  // reused.
  Result<long long> AddOrder(long long accountId, std::time_t received,
                             const std::vector<FormField>& fields,
                             const std::vector<std::vector<std::string>>& items);

  struct NewOrder {
    long long accountId = 0;
    std::time_t received = 0;
    const std::vector<FormField>* fields = nullptr;
    const std::vector<std::vector<std::string>>* items = nullptr;
  };
  // Stores several orders in one transaction (one disk sync for all): every id in the given
  // order, or a failure and none stored.
  Result<std::vector<long long>> AddOrders(const std::vector<NewOrder>& orders);
  // The account's orders with an id above `afterId`, oldest first.
  Result<std::vector<StoredOrder>> OrdersAfter(long long accountId, long long afterId);
  // Deletes the listed orders of that account (others' ids are skipped); all or nothing.
  // Returns the number deleted.
  Result<long long> DeleteOrders(long long accountId, const std::vector<long long>& ids);

  // The schema version found in the file.
  int SchemaVersion();

 private:
  explicit OrderStore(sqlite3* db);
  Status Migrate();
  Status Exec(const char* sql);
  Status Error(const char* what);
  sqlite3* db_;
};

}  // namespace tolmi::server

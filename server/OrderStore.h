// Where the order server keeps accounts and orders: an interface with two stores behind it,
// chosen by the --data text. A file path opens SQLite (one file, the embedded default); a
// "postgresql://" or "postgres://" URI opens PostgreSQL, which several server processes can
// share. Both bring a versioned schema up to date when opened, prepare every statement, hand
// out order ids that grow and are never reused, and report an order stored only once its
// transaction is committed. One OrderStore is used from one thread at a time.
#pragma once

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/OrderIntake.h"
#include "server/OrderProtocol.h"
#include "util/Result.h"

namespace tolmi::server {

// The schema version this build writes.
inline constexpr int kSchemaVersion = 2;

struct Account {
  long long id = 0;
  std::string name;
  std::string passwordHash;
  bool enabled = true;
  long long orderCount = 0;  // filled by ListAccounts
};

class OrderStore {
 public:
  virtual ~OrderStore() = default;

  // Opens the store named by `data` (see above) and migrates its schema. Fails with Io when
  // it cannot be opened or reached, Corrupt when it is not a usable database or was written
  // by a newer schema, InvalidArgument for an unusable URI.
  static Result<std::unique_ptr<OrderStore>> Open(const std::string& data);
  // Whether `data` names a PostgreSQL database rather than a file.
  static bool IsPostgresUri(std::string_view data);

  // Accounts. AddAccount fails with InvalidArgument when the name exists.
  virtual Status AddAccount(const std::string& name, const std::string& passwordHash) = 0;
  virtual Status SetPasswordHash(const std::string& name, const std::string& passwordHash) = 0;
  virtual Status SetEnabled(const std::string& name, bool enabled) = 0;
  // The account of that exact name, nothing when none; failure on a database error.
  virtual Result<std::optional<Account>> FindAccount(const std::string& name) = 0;
  // Every account by name, with its order count (password hashes left empty).
  virtual Result<std::vector<Account>> ListAccounts() = 0;

  struct NewOrder {
    long long accountId = 0;
    std::time_t received = 0;
    const std::vector<FormField>* fields = nullptr;
    const std::vector<std::vector<std::string>>* items = nullptr;
    std::string card;  // sealed card fields (CardVault), "" when none
  };
  // Stores several orders in one transaction (one disk sync for all): every id in the given
  // order once the commit is confirmed, or a failure and none stored. Within one account,
  // ids follow commit order, so a reader that saw id N never later finds a new id below N.
  virtual Result<std::vector<long long>> AddOrders(const std::vector<NewOrder>& orders) = 0;
  // One order; see AddOrders.
  Result<long long> AddOrder(long long accountId, std::time_t received,
                             const std::vector<FormField>& fields,
                             const std::vector<std::vector<std::string>>& items,
                             std::string card = {});
  // The account's orders with an id above `afterId`, oldest first.
  virtual Result<std::vector<StoredOrder>> OrdersAfter(long long accountId, long long afterId) = 0;
  // Deletes the listed orders of that account (others' ids are skipped); all or nothing.
  // Returns the number deleted.
  virtual Result<long long> DeleteOrders(long long accountId,
                                         const std::vector<long long>& ids) = 0;

  // Replaces the fields of an order whose card data is not sealed yet (written by an older
  // server); true when it was changed.
  virtual Result<bool> SealOrder(long long id, const std::string& fields,
                                 const std::string& card) = 0;

  // A store-wide setting, "" when unset.
  virtual Result<std::string> Setting(const std::string& name) = 0;
  // Sets the setting unless it is set already; returns the value it holds afterwards.
  virtual Result<std::string> ClaimSetting(const std::string& name, const std::string& value) = 0;

  // Copies one account (by name, with its hash and state) and its orders with their ids in
  // one transaction. Fails with InvalidArgument when an order id is taken. Later ids stay
  // above every copied one.
  virtual Status Import(const Account& account, const std::vector<StoredOrder>& orders) = 0;
  // Number of orders of all accounts.
  virtual Result<long long> OrderCount() = 0;

  // The schema version found in the store, -1 when it cannot be read.
  virtual int SchemaVersion() = 0;

  // A sentence for the operator when an acknowledged order may not survive a crash of the
  // database (PostgreSQL with synchronous_commit off); "" otherwise.
  virtual std::string DurabilityWarning() const { return {}; }
};

}  // namespace tolmi::server

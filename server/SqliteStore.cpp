#include "server/SqliteStore.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolmi::server {

namespace {

// A statement of the store's cache, prepared on its first use; reset when it goes out of
// scope, so that it holds no read transaction open.
class Statement {
 public:
  Statement(SqliteStore::Prepared& cache, const char* sql) {
    auto [entry, added] = cache.statements.try_emplace(sql, nullptr);
    if (added && sqlite3_prepare_v2(cache.db, sql, -1, &entry->second, nullptr) != SQLITE_OK) {
      sqlite3_finalize(entry->second);
      cache.statements.erase(entry);
      return;
    }
    stmt_ = entry->second;
  }
  ~Statement() { Reset(); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  bool ok() const { return stmt_ != nullptr; }
  sqlite3_stmt* get() { return stmt_; }
  void Bind(int index, long long value) { sqlite3_bind_int64(stmt_, index, value); }
  void Bind(int index, const std::string& text) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  // Bytes, or NULL for none.
  void BindBlob(int index, const std::string& bytes) {
    if (bytes.empty()) {
      sqlite3_bind_null(stmt_, index);
    } else {
      sqlite3_bind_blob(stmt_, index, bytes.data(), static_cast<int>(bytes.size()),
                        SQLITE_TRANSIENT);
    }
  }
  int Step() { return sqlite3_step(stmt_); }
  void Reset() {
    if (!stmt_) return;
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  long long Int(int col) { return sqlite3_column_int64(stmt_, col); }
  std::string Text(int col) {
    const unsigned char* p = sqlite3_column_text(stmt_, col);
    int n = sqlite3_column_bytes(stmt_, col);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(n)) : "";
  }
  std::string Blob(int col) {
    const void* p = sqlite3_column_blob(stmt_, col);
    int n = sqlite3_column_bytes(stmt_, col);
    return p ? std::string(static_cast<const char*>(p), static_cast<size_t>(n)) : "";
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// Each entry brings the schema from its index to index + 1.
const char* const kMigrations[] = {
    "CREATE TABLE accounts ("
    " id INTEGER PRIMARY KEY,"
    " name TEXT NOT NULL UNIQUE,"
    " password_hash TEXT NOT NULL,"
    " enabled INTEGER NOT NULL DEFAULT 1,"
    " created INTEGER NOT NULL DEFAULT (strftime('%s','now')));"
    "CREATE TABLE orders ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " account_id INTEGER NOT NULL REFERENCES accounts(id),"
    " received INTEGER NOT NULL,"
    " fields TEXT NOT NULL,"
    " items TEXT NOT NULL);"
    "CREATE INDEX orders_by_account ON orders(account_id, id);",
    // Sealed card fields beside the clear ones; store-wide settings.
    "ALTER TABLE orders ADD COLUMN card BLOB;"
    "CREATE TABLE settings (name TEXT PRIMARY KEY, value TEXT NOT NULL);",
};
static_assert(sizeof(kMigrations) / sizeof(kMigrations[0]) == kSchemaVersion);

}  // namespace

SqliteStore::SqliteStore(sqlite3* db) : db_(db) { prepared_.db = db; }

SqliteStore::~SqliteStore() {
  for (auto& [sql, stmt] : prepared_.statements) sqlite3_finalize(stmt);
  sqlite3_close_v2(db_);
}

Status SqliteStore::Error(const char* what) {
  return Status::Error(ErrorKind::Io, std::string(what) + ": " + sqlite3_errmsg(db_));
}

Status SqliteStore::Exec(const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : "unknown error";
    sqlite3_free(message);
    return Status::Error(ErrorKind::Io, text);
  }
  return Status::Ok();
}

Result<std::unique_ptr<OrderStore>> SqliteStore::Open(const std::string& path) {
  // Card fields and password hashes: the file and its journal are the owner's alone. SQLite
  // gives the journal files the database file's mode; older files are tightened too.
  if (int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600); fd >= 0) ::close(fd);
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    std::string file = path + suffix;
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077))
      ::chmod(file.c_str(), st.st_mode & 0700);
  }
  sqlite3* db = nullptr;
  int rc =
      sqlite3_open_v2(path.c_str(), &db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = "Unable to open data file '" + path +
                          "': " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    sqlite3_close_v2(db);
    return Status::Error(ErrorKind::Io, message);
  }
  std::unique_ptr<SqliteStore> store(new SqliteStore(db));
  sqlite3_busy_timeout(db, 5000);
  sqlite3_extended_result_codes(db, 1);
  // WAL with a full sync on every commit: a committed order is on disk before we answer.
  // Deleted orders are overwritten, not left in free pages.
  Status s = store->Exec(
      "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON; "
      "PRAGMA secure_delete=ON;");
  if (!s.ok())
    return Status::Error(ErrorKind::Corrupt,
                         "Data file '" + path + "' is not a usable database: " + s.message());
  s = store->Migrate();
  if (!s.ok()) return Status::Error(s.kind(), "Data file '" + path + "': " + s.message());
  return std::unique_ptr<OrderStore>(std::move(store));
}

int SqliteStore::SchemaVersion() {
  Statement st(prepared_, "PRAGMA user_version");
  if (!st.ok() || st.Step() != SQLITE_ROW) return -1;
  return static_cast<int>(st.Int(0));
}

Status SqliteStore::Migrate() {
  int version = SchemaVersion();
  if (version < 0) return Error("reading the schema version");
  if (version > kSchemaVersion)
    return Status::Error(ErrorKind::Corrupt, "written by a newer tolmi-server (schema " +
                                                 std::to_string(version) + ")");
  while (version < kSchemaVersion) {
    if (Status s = Exec("BEGIN IMMEDIATE"); !s.ok()) return s;
    Status s = Exec(kMigrations[version]);
    if (s.ok()) {
      std::string set = "PRAGMA user_version=" + std::to_string(version + 1);
      s = Exec(set.c_str());
    }
    if (s.ok()) s = Exec("COMMIT");
    if (!s.ok()) {
      (void)Exec("ROLLBACK");
      return s;
    }
    ++version;
  }
  return Status::Ok();
}

Status SqliteStore::AddAccount(const std::string& name, const std::string& passwordHash) {
  Statement st(prepared_, "INSERT INTO accounts(name, password_hash, enabled) VALUES(?, ?, 1)");
  if (!st.ok()) return Error("adding an account");
  st.Bind(1, name);
  st.Bind(2, passwordHash);
  int rc = st.Step();
  if (rc == SQLITE_CONSTRAINT_UNIQUE || (rc & 0xff) == SQLITE_CONSTRAINT)
    return Status::Error(ErrorKind::InvalidArgument, "The account '" + name + "' exists.");
  if (rc != SQLITE_DONE) return Error("adding an account");
  return Status::Ok();
}

Status SqliteStore::SetPasswordHash(const std::string& name, const std::string& passwordHash) {
  Statement st(prepared_, "UPDATE accounts SET password_hash = ? WHERE name = ?");
  if (!st.ok()) return Error("changing a password");
  st.Bind(1, passwordHash);
  st.Bind(2, name);
  if (st.Step() != SQLITE_DONE) return Error("changing a password");
  if (sqlite3_changes(db_) == 0)
    return Status::Error(ErrorKind::NotFound, "No account '" + name + "'.");
  return Status::Ok();
}

Status SqliteStore::SetEnabled(const std::string& name, bool enabled) {
  Statement st(prepared_, "UPDATE accounts SET enabled = ? WHERE name = ?");
  if (!st.ok()) return Error("changing an account");
  st.Bind(1, enabled ? 1 : 0);
  st.Bind(2, name);
  if (st.Step() != SQLITE_DONE) return Error("changing an account");
  if (sqlite3_changes(db_) == 0)
    return Status::Error(ErrorKind::NotFound, "No account '" + name + "'.");
  return Status::Ok();
}

Result<std::optional<Account>> SqliteStore::FindAccount(const std::string& name) {
  Statement st(prepared_, "SELECT id, name, password_hash, enabled FROM accounts WHERE name = ?");
  if (!st.ok()) return Error("reading an account");
  st.Bind(1, name);
  int rc = st.Step();
  if (rc == SQLITE_DONE) return std::optional<Account>();
  if (rc != SQLITE_ROW) return Error("reading an account");
  Account a;
  a.id = st.Int(0);
  a.name = st.Text(1);
  a.passwordHash = st.Text(2);
  a.enabled = st.Int(3) != 0;
  return std::optional<Account>(std::move(a));
}

Result<std::vector<Account>> SqliteStore::ListAccounts() {
  Statement st(prepared_,
               "SELECT a.id, a.name, a.enabled, (SELECT count(*) FROM orders o WHERE "
               "o.account_id = a.id) FROM accounts a ORDER BY a.name");
  if (!st.ok()) return Error("listing accounts");
  std::vector<Account> list;
  int rc;
  while ((rc = st.Step()) == SQLITE_ROW) {
    Account a;
    a.id = st.Int(0);
    a.name = st.Text(1);
    a.enabled = st.Int(2) != 0;
    a.orderCount = st.Int(3);
    list.push_back(std::move(a));
  }
  if (rc != SQLITE_DONE) return Error("listing accounts");
  return list;
}

Result<std::vector<long long>> SqliteStore::AddOrders(const std::vector<NewOrder>& orders) {
  std::vector<long long> ids;
  if (orders.empty()) return ids;
  if (Status s = Exec("BEGIN IMMEDIATE"); !s.ok()) return s;
  {
    Statement st(prepared_,
                 "INSERT INTO orders(account_id, received, fields, items, card) "
                 "VALUES(?, ?, ?, ?, ?)");
    if (!st.ok()) {
      Status e = Error("storing an order");
      (void)Exec("ROLLBACK");
      return e;
    }
    for (const auto& order : orders) {
      st.Reset();
      st.Bind(1, order.accountId);
      st.Bind(2, static_cast<long long>(order.received));
      st.Bind(3, order.fields ? EncodeFields(*order.fields) : std::string());
      st.Bind(4, order.items ? EncodeItems(*order.items) : std::string());
      st.BindBlob(5, order.card);
      if (st.Step() != SQLITE_DONE) {
        Status e = Error("storing an order");
        st.Reset();
        (void)Exec("ROLLBACK");
        return e;
      }
      ids.push_back(static_cast<long long>(sqlite3_last_insert_rowid(db_)));
    }
  }
  // With synchronous=FULL the commit returns only once the log is on disk.
  if (Status s = Exec("COMMIT"); !s.ok()) {
    (void)Exec("ROLLBACK");
    return s;
  }
  return ids;
}

Result<std::vector<StoredOrder>> SqliteStore::OrdersAfter(long long accountId, long long afterId) {
  Statement st(prepared_,
               "SELECT id, received, fields, items, card FROM orders WHERE account_id = ? AND id > ? "
               "ORDER BY id");
  if (!st.ok()) return Error("reading orders");
  st.Bind(1, accountId);
  st.Bind(2, afterId);
  std::vector<StoredOrder> orders;
  int rc;
  while ((rc = st.Step()) == SQLITE_ROW) {
    StoredOrder o;
    o.id = st.Int(0);
    o.received = static_cast<std::time_t>(st.Int(1));
    o.fields = st.Text(2);
    o.items = st.Text(3);
    o.card = st.Blob(4);
    orders.push_back(std::move(o));
  }
  if (rc != SQLITE_DONE) return Error("reading orders");
  return orders;
}

Result<long long> SqliteStore::DeleteOrders(long long accountId, const std::vector<long long>& ids) {
  if (ids.empty()) return 0LL;
  if (Status s = Exec("BEGIN IMMEDIATE"); !s.ok()) return s;
  long long deleted = 0;
  {
    Statement st(prepared_, "DELETE FROM orders WHERE account_id = ? AND id = ?");
    if (!st.ok()) {
      Status e = Error("deleting orders");
      (void)Exec("ROLLBACK");
      return e;
    }
    for (long long id : ids) {
      st.Reset();
      st.Bind(1, accountId);
      st.Bind(2, id);
      if (st.Step() != SQLITE_DONE) {
        Status e = Error("deleting orders");
        st.Reset();
        (void)Exec("ROLLBACK");
        return e;
      }
      deleted += sqlite3_changes(db_);
    }
  }
  if (Status s = Exec("COMMIT"); !s.ok()) {
    (void)Exec("ROLLBACK");
    return s;
  }
  return deleted;
}

Result<bool> SqliteStore::SealOrder(long long id, const std::string& fields,
                                    const std::string& card) {
  Statement st(prepared_, "UPDATE orders SET fields = ?, card = ? WHERE id = ? AND card IS NULL");
  if (!st.ok()) return Error("sealing an order");
  st.Bind(1, fields);
  st.BindBlob(2, card);
  st.Bind(3, id);
  if (st.Step() != SQLITE_DONE) return Error("sealing an order");
  return sqlite3_changes(db_) > 0;
}

Result<std::string> SqliteStore::Setting(const std::string& name) {
  Statement st(prepared_, "SELECT value FROM settings WHERE name = ?");
  if (!st.ok()) return Error("reading a setting");
  st.Bind(1, name);
  int rc = st.Step();
  if (rc == SQLITE_DONE) return std::string();
  if (rc != SQLITE_ROW) return Error("reading a setting");
  return st.Text(0);
}

Result<std::string> SqliteStore::ClaimSetting(const std::string& name, const std::string& value) {
  Statement st(prepared_, "INSERT OR IGNORE INTO settings(name, value) VALUES(?, ?)");
  if (!st.ok()) return Error("storing a setting");
  st.Bind(1, name);
  st.Bind(2, value);
  if (st.Step() != SQLITE_DONE) return Error("storing a setting");
  return Setting(name);
}

Status SqliteStore::Import(const Account& account, const std::vector<StoredOrder>& orders) {
  if (Status s = Exec("BEGIN IMMEDIATE"); !s.ok()) return s;
  auto fail = [this](Status e) {
    (void)Exec("ROLLBACK");
    return e;
  };
  long long accountId = 0;
  {
    Statement st(prepared_,
                 "INSERT INTO accounts(name, password_hash, enabled) VALUES(?, ?, ?) "
                 "ON CONFLICT(name) DO UPDATE SET password_hash = excluded.password_hash, "
                 "enabled = excluded.enabled");
    if (!st.ok()) return fail(Error("copying an account"));
    st.Bind(1, account.name);
    st.Bind(2, account.passwordHash);
    st.Bind(3, account.enabled ? 1 : 0);
    if (st.Step() != SQLITE_DONE) return fail(Error("copying an account"));
    Statement id(prepared_, "SELECT id FROM accounts WHERE name = ?");
    if (!id.ok()) return fail(Error("copying an account"));
    id.Bind(1, account.name);
    if (id.Step() != SQLITE_ROW) return fail(Error("copying an account"));
    accountId = id.Int(0);
  }
  Statement st(prepared_,
               "INSERT INTO orders(id, account_id, received, fields, items, card) "
               "VALUES(?, ?, ?, ?, ?, ?)");
  if (!st.ok()) return fail(Error("copying an order"));
  for (const auto& o : orders) {
    st.Reset();
    st.Bind(1, o.id);
    st.Bind(2, accountId);
    st.Bind(3, static_cast<long long>(o.received));
    st.Bind(4, o.fields);
    st.Bind(5, o.items);
    st.BindBlob(6, o.card);
    int rc = st.Step();
    if ((rc & 0xff) == SQLITE_CONSTRAINT) {
      st.Reset();
      return fail(Status::Error(ErrorKind::InvalidArgument,
                                "Order " + std::to_string(o.id) + " exists already."));
    }
    if (rc != SQLITE_DONE) {
      Status e = Error("copying an order");
      st.Reset();
      return fail(e);
    }
  }
  st.Reset();
  if (Status s = Exec("COMMIT"); !s.ok()) return fail(s);
  return Status::Ok();
}

Result<long long> SqliteStore::OrderCount() {
  Statement st(prepared_, "SELECT count(*) FROM orders");
  if (!st.ok() || st.Step() != SQLITE_ROW) return Error("counting orders");
  return st.Int(0);
}

}  // namespace tolmi::server

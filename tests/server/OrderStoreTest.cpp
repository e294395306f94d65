#include "server/OrderStore.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <atomic>
#include <filesystem>
#include <sstream>
#include <thread>

#include "PostgresCluster.h"
#include "server/OrderIntake.h"
#include "server/Passwords.h"
#include "server/ServerMain.h"
#include "tests/support/TestHome.h"

namespace tolmi::server {
namespace {

std::vector<std::vector<std::string>> OneItem(const std::string& name) {
  std::vector<std::string> item(kItemFieldCount);
  item[0] = "1";
  item[1] = name;
  return {item};
}

// Runs SQL on the database directly; true when it went through.
bool Exec(const std::string& uri, const char* sql) {
  PGconn* c = PQconnectdb(uri.c_str());
  PGresult* r = PQexec(c, sql);
  bool ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
  PQclear(r);
  PQfinish(c);
  return ok;
}

// The cases every store must pass: a SQLite file and a PostgreSQL database.
class StoreTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    path_ = (home_ / "orders.db").string();
    if (GetParam() == test::kPostgres && (path_ = test::NewPostgresDatabase()).empty()) return;
  }
  test::TestHome home_;
  std::string path_;
};

// Ids, accounts and the reading after an id are the server tests' own (on both stores);
// here the bytes, settings and copied ids that only the store sees.
TEST_P(StoreTest, KeepsBytesSettingsAndCopiedIdsAcrossReopen) {
  long long first = 0;
  std::string card("\x01\x00\xff", 3);
  {
    auto store = OrderStore::Open(path_);
    ASSERT_TRUE(store) << store.status().message();
    EXPECT_EQ((*store)->SchemaVersion(), kSchemaVersion);
    ASSERT_TRUE((*store)->AddAccount("shop", "h").ok());
    long long shop = (**(*store)->FindAccount("shop")).id;
    // Latin-1 bytes and sealed binary data come back as they went in.
    first = *(*store)->AddOrder(shop, 5, {{"Name", "Caf\xe9"}}, OneItem("M\xfcsli"), card);
    EXPECT_EQ(*(*store)->Setting("card_key_fingerprint"), "");
    EXPECT_EQ(*(*store)->ClaimSetting("card_key_fingerprint", "a"), "a");
  }
  auto store = OrderStore::Open(path_);
  ASSERT_TRUE(store);
  OrderStore& s = **store;
  long long shop = (**s.FindAccount("shop")).id;
  EXPECT_FALSE(s.FindAccount("SHOP")->has_value());
  auto stored = s.OrdersAfter(shop, 0);
  ASSERT_TRUE(stored && stored->size() == 1);
  EXPECT_EQ((*stored)[0].received, 5);
  EXPECT_EQ((*stored)[0].fields, "Name=Caf\xe9");
  EXPECT_EQ((*stored)[0].card, card);
  EXPECT_EQ(DecodeItems((*stored)[0].items)[0][1], "M\xfcsli");
  EXPECT_EQ(*s.ClaimSetting("card_key_fingerprint", "b"), "a");

  StoredOrder moved{first + 500, 7, "A=1", "", ""};
  ASSERT_TRUE(s.Import({0, "moved", "h9", false, 0}, {moved}).ok());
  EXPECT_EQ(s.Import({0, "moved", "h9", false, 0}, {moved}).kind(), ErrorKind::InvalidArgument);
  auto account = **s.FindAccount("moved");
  EXPECT_EQ(account.passwordHash, "h9");
  EXPECT_FALSE(account.enabled);
  EXPECT_EQ(s.OrdersAfter(account.id, 0)->at(0).id, first + 500);
  EXPECT_GT(*s.AddOrder(shop, 8, {}, {}), first + 500);  // new ids stay above copied ones
  EXPECT_EQ(*s.OrderCount(), 3);
}

// A server outlives a restart of the database: the next read or order finds the connection
// lost, opens it again and goes through.
TEST(PostgresStoreTest, ConnectsAgainAfterTheDatabaseDroppedTheConnection) {
  std::string uri = test::NewPostgresDatabase();
  if (uri.empty()) return;
  auto store = OrderStore::Open(uri);
  ASSERT_TRUE(store);
  ASSERT_TRUE((*store)->AddAccount("shop", "h").ok());
  const char* dropAll =
      "SELECT pg_terminate_backend(pid, 5000) FROM pg_stat_activity "
      "WHERE pid <> pg_backend_pid() AND datname = current_database()";
  Exec(uri, dropAll);
  auto found = (*store)->FindAccount("shop");
  ASSERT_TRUE(found) << found.status().message();
  ASSERT_TRUE(found->has_value());
  Exec(uri, dropAll);
  auto id = (*store)->AddOrder((**found).id, 5, {{"Name", "Ann"}}, OneItem("Mug"));
  ASSERT_TRUE(id) << id.status().message();
  EXPECT_EQ((*store)->OrdersAfter((**found).id, 0)->size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Stores, StoreTest, ::testing::Values(test::kSqlite, test::kPostgres),
                         [](const auto& info) { return info.param; });

// The download reply of every account, with the sealed card data of each order.
std::string Everything(OrderStore& store) {
  std::string all;
  auto accounts = store.ListAccounts();
  for (const auto& a : *accounts) {
    auto orders = *store.OrdersAfter(a.id, 0);
    all += a.name + ":" + (**store.FindAccount(a.name)).passwordHash + "\n" +
           FormatDownloadReply(orders);
    for (const auto& o : orders) all += o.card;
  }
  return all;
}

TEST(StoreMigrationTest, CopiesTenThousandOrdersExactlyAndRefusesATargetWithOrders) {
  std::string uri = test::NewPostgresDatabase();
  if (uri.empty()) return;
  test::TestHome home;
  std::string file = (home / "orders.db").string();
  std::string before;
  {
    auto store = OrderStore::Open(file);
    ASSERT_TRUE(store);
    ASSERT_TRUE((*store)->AddAccount("shop", "hash-1").ok());
    ASSERT_TRUE((*store)->AddAccount("other", "hash-2").ok());
    ASSERT_TRUE((*store)->SetEnabled("other", false).ok());
    ASSERT_EQ(*(*store)->ClaimSetting("card_key_fingerprint", "f1"), "f1");
    std::vector<std::vector<FormField>> fields;
    for (int i = 0; i < 10000; ++i)
      fields.push_back({{"Name", "N" + std::to_string(i)}, {"CardNumber", ""}});
    auto items = OneItem("Mug");
    std::vector<OrderStore::NewOrder> batch;
    for (int i = 0; i < 10000; ++i)
      batch.push_back({i % 3 ? 1LL : 2LL, 1000 + i, &fields[static_cast<size_t>(i)], &items,
                       "sealed" + std::to_string(i)});
    ASSERT_TRUE((*store)->AddOrders(batch));
    before = Everything(**store);
  }
  std::string output;
  auto migrate = [&](const std::string& from, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {"migrate", "--from", from, "--to", uri};
    args.insert(args.end(), extra.begin(), extra.end());
    std::istringstream in;
    std::ostringstream out;
    int rc = RunServerMain(args, in, out, out);
    output = out.str();
    return rc;
  };
  // A mistyped source is refused, not made into an empty file and copied.
  std::string typo = (home / "orders.bd").string();
  EXPECT_EQ(migrate(typo), 1);
  EXPECT_EQ(output, "tolmi-server: No data file '" + typo + "'.\n");
  EXPECT_FALSE(std::filesystem::exists(typo));

  ASSERT_EQ(migrate(file), 0) << output;
  EXPECT_EQ(output, "Copied 2 accounts and 10000 orders.\n");
  auto target = OrderStore::Open(uri);
  ASSERT_TRUE(target);
  EXPECT_EQ(Everything(**target), before);
  EXPECT_EQ(*(*target)->Setting("card_key_fingerprint"), "f1");

  EXPECT_EQ(migrate(file), 1);
  EXPECT_EQ(output,
            "tolmi-server: The target already holds 10000 orders; give --force to copy into it "
            "anyway.\n");
  EXPECT_EQ(migrate(file, {"--force"}), 1);  // the same ids are taken
  EXPECT_NE(output.find("exists already"), std::string::npos) << output;
  EXPECT_EQ(*(*target)->OrderCount(), 10000);
}

// A database of the first schema is brought up to date by the first of several processes
// starting at once; one of a newer schema is left alone.
TEST(PostgresStoreTest, MigratesAnOlderSchemaOnceAndRefusesANewerOne) {
  std::string uri = test::NewPostgresDatabase();
  if (uri.empty()) return;
  ASSERT_TRUE(Exec(uri,
                   "CREATE TABLE tolmi_schema (version integer NOT NULL);"
                   "INSERT INTO tolmi_schema VALUES (1);"
                   "CREATE TABLE accounts (id bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,"
                   " name bytea NOT NULL UNIQUE, password_hash bytea NOT NULL,"
                   " enabled boolean NOT NULL DEFAULT true, created bigint NOT NULL DEFAULT 0);"
                   "CREATE TABLE orders (id bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,"
                   " account_id bigint NOT NULL REFERENCES accounts(id), received bigint NOT NULL,"
                   " fields bytea NOT NULL, items bytea NOT NULL);"
                   "INSERT INTO accounts(name, password_hash) VALUES ('shop', 'h');"
                   "INSERT INTO orders(account_id, received, fields, items)"
                   " VALUES (1, 5, 'Name=Ann', '');"));
  std::vector<std::thread> starts;
  std::atomic<int> opened{0};
  for (int i = 0; i < 4; ++i) starts.emplace_back([&] { opened += OrderStore::Open(uri) ? 1 : 0; });
  for (auto& t : starts) t.join();
  EXPECT_EQ(opened, 4);
  auto store = OrderStore::Open(uri);
  ASSERT_TRUE(store) << store.status().message();
  EXPECT_EQ((*store)->SchemaVersion(), kSchemaVersion);
  auto orders = (*store)->OrdersAfter(1, 0);
  ASSERT_TRUE(orders && orders->size() == 1);
  EXPECT_EQ((*orders)[0].fields, "Name=Ann");
  EXPECT_EQ((*orders)[0].card, "");
  EXPECT_GT(*(*store)->AddOrder(1, 6, {}, OneItem("Mug")), 1);

  ASSERT_TRUE(Exec(uri, "UPDATE tolmi_schema SET version = 99"));
  auto newer = OrderStore::Open(uri);
  ASSERT_FALSE(newer);
  EXPECT_EQ(newer.status().kind(), ErrorKind::Corrupt);
  EXPECT_NE(newer.status().message().find("newer"), std::string::npos);
}

TEST(OrderStoreTest, RefusesFilesItCannotUse) {
  test::TestHome home;
  home.Write("junk.db", std::string(4096, 'x'));
  auto junk = OrderStore::Open((home / "junk.db").string());
  ASSERT_FALSE(junk);
  EXPECT_EQ(junk.status().kind(), ErrorKind::Corrupt);
  auto missingDir = OrderStore::Open((home / "no/such/dir/o.db").string());
  ASSERT_FALSE(missingDir);
  EXPECT_EQ(missingDir.status().kind(), ErrorKind::Io);
  // A file from a newer schema is left alone.
  std::string path = (home / "new.db").string();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "PRAGMA user_version=99", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  auto newer = OrderStore::Open(path);
  ASSERT_FALSE(newer);
  EXPECT_EQ(newer.status().kind(), ErrorKind::Corrupt);
  EXPECT_NE(newer.status().message().find("newer"), std::string::npos);
}

TEST(PasswordsTest, VerifiesOnlyTheRightPassword) {
  auto hash = HashPassword("secret word", HashCost::Minimum);
  ASSERT_TRUE(hash);
  EXPECT_EQ(hash->rfind("$argon2id$", 0), 0u);
  EXPECT_TRUE(VerifyPassword(*hash, "secret word"));
  EXPECT_FALSE(VerifyPassword(*hash, "secret Word"));
  for (const std::string& bad :
       {std::string(), std::string("$argon2id$garbage"), std::string(1000, 'a')})
    EXPECT_FALSE(VerifyPassword(bad, "x"));
  EXPECT_NE(*HashPassword("secret word", HashCost::Minimum), *hash);  // salted
}

}  // namespace
}  // namespace tolmi::server

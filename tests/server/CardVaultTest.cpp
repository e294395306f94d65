#include "server/CardVault.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "server/OrderIntake.h"
#include "server/OrderStore.h"
#include "tests/support/TestHome.h"

namespace tolmi::server {
namespace {

TEST(CardVaultTest, KnowsCardFieldsAndMasksNumbersInLogs) {
  for (const char* name : {"CardNumber", "cardholdername", "CardExpiryYear", "CVV2", "cvc"})
    EXPECT_TRUE(IsCardField(name)) << name;
  for (const char* name : {"Name", "Amount", "Car", "Discard", "CVVX"})
    EXPECT_FALSE(IsCardField(name)) << name;
  const std::pair<const char*, const char*> masks[] = {
      {"4111111111111111", "************1111"},
      {"user 4111-1111-1111-1234 x", "user ****-****-****-1234 x"},
      {"4111 1111 1111 1111", "**** **** **** 1111"},
      {"order 12345678901", "order 12345678901"},  // fewer than twelve digits stay
      {"a1b2", "a1b2"},
  };
  for (const auto& [in, out] : masks) EXPECT_EQ(MaskCardNumbers(in), out) << in;
}

TEST(CardVaultTest, SealedFieldsOpenOnlyWithTheirKey) {
  CardKey key, other;
  key.bytes.fill(1);
  other.bytes.fill(2);
  std::vector<FormField> fields = {{"Name", "Ann"}, {"CardNumber", "4111"}, {"CVV", "12=3"}};
  std::string sealed = SealCardFields(key, fields);
  EXPECT_EQ(EncodeFields(fields), "Name=Ann\nCardNumber=\nCVV=");
  EXPECT_EQ(*OpenCardFields(key, EncodeFields(fields), sealed), "Name=Ann\nCardNumber=4111\nCVV=12=3");
  EXPECT_EQ(OpenCardFields(other, EncodeFields(fields), sealed).status().kind(), ErrorKind::Corrupt);
  std::string flipped = sealed;
  flipped.back() ^= 1;
  EXPECT_FALSE(OpenCardFields(key, EncodeFields(fields), flipped));
  EXPECT_FALSE(OpenCardFields(key, EncodeFields(fields), sealed.substr(0, 10)));
  // Sealed data that does not fit the fields (one taken away) is refused, not half-merged.
  EXPECT_FALSE(OpenCardFields(key, "Name=Ann\nCardNumber=", sealed));
  std::vector<FormField> plain = {{"Name", "Ann"}};
  EXPECT_EQ(SealCardFields(key, plain), "");
  EXPECT_EQ(*OpenCardFields(key, "Name=Ann", ""), "Name=Ann");
}

// A data file of the first schema, written before card fields were sealed: opening it adds
// the new columns, and the first start seals the clear card numbers it holds.
TEST(CardVaultTest, ClearCardNumbersOfAnOlderFileAreSealedOnce) {
  test::TestHome home;
  std::string path = (home / "old.db").string();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "CREATE TABLE accounts (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE,"
                         " password_hash TEXT NOT NULL, enabled INTEGER NOT NULL DEFAULT 1,"
                         " created INTEGER NOT NULL DEFAULT 0);"
                         "CREATE TABLE orders (id INTEGER PRIMARY KEY AUTOINCREMENT,"
                         " account_id INTEGER NOT NULL, received INTEGER NOT NULL,"
                         " fields TEXT NOT NULL, items TEXT NOT NULL);"
                         "INSERT INTO accounts(name, password_hash) VALUES('shop', 'h');"
                         "INSERT INTO orders(account_id, received, fields, items) VALUES"
                         " (1, 5, 'Name=Ann\nCardNumber=4111111111111111', ''),"
                         " (1, 6, 'Name=Bob', '');"
                         "PRAGMA user_version=1;",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  CardKey key;
  key.bytes.fill(7);
  {
    auto store = OrderStore::Open(path);
    ASSERT_TRUE(store) << store.status().message();
    EXPECT_EQ((*store)->SchemaVersion(), kSchemaVersion);
    EXPECT_EQ(*SealClearCardFields(**store, key), 1);
    EXPECT_EQ(*SealClearCardFields(**store, key), 0);
    auto orders = *(*store)->OrdersAfter(1, 0);
    ASSERT_EQ(orders.size(), 2u);
    EXPECT_EQ(orders[0].fields, "Name=Ann\nCardNumber=");
    EXPECT_EQ(*OpenCardFields(key, orders[0].fields, orders[0].card),
              "Name=Ann\nCardNumber=4111111111111111");
    EXPECT_EQ(orders[1].card, "");
  }
  EXPECT_EQ(home.Read("old.db").find("4111111111111111"), std::string::npos);
}

}  // namespace
}  // namespace tolmi::server

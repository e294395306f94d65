// Two programs on one orders file: a save never drops orders another program saved, an
// order received by both is kept once, numbers never repeat; a damaged file is set aside.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "orders/OrderNumbers.h"
#include "orders/OrdersFile.h"
#include "tests/support/TestHome.h"

namespace tolmi {
namespace {

OrderRecord Order(const std::string& name, const std::string& id = "") {
  OrderRecord o;
  o.kind = RecordKind::Order;
  o.name = name;
  o.orderId = id;
  return o;
}

std::vector<std::string> Names(const OrdersTree& tree) {
  std::vector<std::string> names;
  ForEachRecord(tree.records, [&](const OrderRecord& r) {
    if (r.kind == RecordKind::Order)
      names.push_back(r.name + (r.orderId.empty() ? "" : ":" + r.orderId));
  });
  return names;
}

std::vector<OrderRecord>& NewOrders(OrdersTree& tree) {
  return tree.records[0].children;
}

TEST(OrdersSharing, SavesOfTwoProgramsMergeInsteadOfOverwriting) {
  struct Case {
    const char* what;
    std::vector<OrderRecord> addedByA, addedByB;
    bool bDeletesSavedOrder;
    std::vector<std::string> expected;  // the file after A saved, then B
  };
  const std::vector<Case> cases = {
      {"hand-made orders of both keep their numbers apart",
       {Order("1001")},
       {Order("1001")},
       false,
       {"1001", "1002", "1000:S"}},
      {"the same downloaded order is kept once, as first saved",
       {Order("1001", "X-7")},
       {Order("1001", "X-7"), Order("1002", "X-8")},
       false,
       {"1001:X-7", "1002:X-8", "1000:S"}},
      {"an order B deleted stays deleted; A's new one arrives",
       {Order("1001")},
       {},
       true,
       {"1001"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TestHome home;
    const std::string dir = home.path().string();
    OrdersTree seed;
    LoadOrders(dir, seed);
    NewOrders(seed).push_back(Order("1000", "S"));
    ASSERT_TRUE(SaveOrders(dir, seed, 1).ok());

    OrdersTree a, b;
    ASSERT_TRUE(LoadOrders(dir, a).status.ok());
    ASSERT_TRUE(LoadOrders(dir, b).status.ok());
    for (const OrderRecord& o : c.addedByA) NewOrders(a).insert(NewOrders(a).begin(), o);
    ASSERT_TRUE(SaveOrders(dir, a, 2).ok());
    for (const OrderRecord& o : c.addedByB) NewOrders(b).insert(NewOrders(b).begin(), o);
    if (c.bDeletesSavedOrder) NewOrders(b).pop_back();
    ASSERT_TRUE(SaveOrders(dir, b, 3).ok());

    OrdersTree back;
    LoadOrders(dir, back);
    EXPECT_EQ(Names(back), c.expected);
    EXPECT_EQ(Names(b), c.expected);  // the saving program sees what it saved
  }
}

TEST(OrdersSharing, UnsavedOrderTakingASavedNumberGetsTheNextFreeOne) {
  test::TestHome home;
  const std::string dir = home.path().string();
  OrdersTree tree;
  LoadOrders(dir, tree);
  NewOrders(tree) = {Order("1005"), Order("1000")};
  ASSERT_TRUE(SaveOrders(dir, tree, 1).ok());
  // A download that numbered from a stale setting.
  NewOrders(tree).insert(NewOrders(tree).begin(),
                         {Order("1001", "N1"), Order("1000", "N2"), Order("1000", "N3")});
  ASSERT_TRUE(SaveOrders(dir, tree, 2).ok());
  EXPECT_EQ(Names(tree),
            (std::vector<std::string>{"1001:N1", "1006:N2", "1007:N3", "1005", "1000"}));
  EXPECT_EQ(NextOrderNumber(tree, 1000), 1008);
}

TEST(OrdersSharing, NextOrderNumber) {
  OrdersTree tree;
  tree.records = {MakeFolder(RecordKind::NewOrders, "New Orders")};
  struct Case {
    std::vector<std::string> names;
    int configured, expected;
  };
  for (const Case& c : std::vector<Case>{{{}, 1000, 1000},
                                         {{}, 0, 1},
                                         {{"1200", "x12", "1234567890", "999"}, 1000, 1201},
                                         {{"5"}, 1000, 1000}}) {
    NewOrders(tree).clear();
    for (const std::string& n : c.names) NewOrders(tree).push_back(Order(n));
    EXPECT_EQ(NextOrderNumber(tree, c.configured), c.expected);
  }
  EXPECT_EQ(OrderNumberOf("0042"), 42);
  EXPECT_FALSE(OrderNumberOf("12a"));
  EXPECT_FALSE(OrderNumberOf(""));
}

TEST(OrdersSharing, DamagedFileIsSetAsideNotReadHalf) {
  test::TestHome home;
  const std::string dir = home.path().string();
  OrdersTree full;
  LoadOrders(dir, full);
  for (int i = 0; i < 200; ++i) NewOrders(full).push_back(Order(std::to_string(1000 + i)));
  const std::string whole = WriteOrdersText(full.records, 1, 1);
  const std::string cut = whole.substr(0, whole.size() / 2);

  struct Case {
    const char* what;
    std::string ost;
    bool withBackup;
    bool refused;
    const char* aside;  // the name the damaged file is kept under, "" when none
  };
  for (const Case& c : std::vector<Case>{
           {"cut, no backup", cut, false, true, "orders.ost.damaged"},
           {"random bytes, no backup",
            "\x7f"
            "ELF\x01garbage",
            false, true, "orders.ost.damaged"},
           {"cut, with backup", cut, true, false, "orders.ost.damaged"},
           {"empty file", "", false, false, ""},
       }) {
    SCOPED_TRACE(c.what);
    test::TestHome h;
    const std::string d = h.path().string();
    h.Write("orders.ost", c.ost);
    h.Write(".orders.ost.tmp-Ab12Cd", "left by a killed save");
    if (c.withBackup) h.Write("orders.bak", whole);
    OrdersTree tree;
    OrdersLoad load = LoadOrders(d, tree);
    EXPECT_EQ(!load.status.ok(), c.refused) << load.status.message();
    if (c.refused) {
      EXPECT_EQ(load.status.message(),
                "The orders file 'orders.ost' is incomplete and there is no 'orders.bak' to read "
                "instead; it was kept as 'orders.ost.damaged' and not read.");
    }
    EXPECT_EQ(Names(tree).size(), c.withBackup ? 200u : 0u);
    if (*c.aside) {
      EXPECT_EQ(h.Read(c.aside), c.ost);
    }
    EXPECT_FALSE(std::filesystem::exists(h / ".orders.ost.tmp-Ab12Cd"));
    // The next save writes a new file and leaves the damaged one alone.
    NewOrders(tree).push_back(Order("5000"));
    ASSERT_TRUE(SaveOrders(d, tree, 9).ok());
    if (*c.aside) {
      EXPECT_EQ(h.Read(c.aside), c.ost);
    }
  }
  // A second damaged file does not replace the first one kept.
  home.Write("orders.ost.damaged", "first");
  home.Write("orders.ost", cut);
  OrdersTree again;
  EXPECT_EQ(
      LoadOrders(dir, again).status.message().find("orders.ost(1).damaged") != std::string::npos,
      true);
  EXPECT_EQ(home.Read("orders.ost.damaged"), "first");
  EXPECT_EQ(home.Read("orders.ost(1).damaged"), cut);
}

}  // namespace
}  // namespace tolmi

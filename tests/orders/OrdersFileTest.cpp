#include "orders/OrdersFile.h"

#include <gtest/gtest.h>

#include "tests/support/TestHome.h"
#include "util/Version.h"

namespace tolmi {
namespace {

OrderRecord SampleOrder() {
  OrderRecord r;
  r.kind = RecordKind::Order;
  r.name = "1000";
  r.orderId = "77";
  r.orderDate = 1765000000;
  r.status = kStatusCharged;
  r.chargeDate = 1765000100;
  AppendField(r, "Name", "Ann Lee");
  AppendField(r, "Note", "a=b=c");
  AppendField(r, "Amount", "12.50");
  OrderItem it;
  it.name = "Blue Mug";
  it.code = "MUG-01";
  it.option1 = "Red";
  it.quantity = 3;
  it.unitCents = 250;
  it.weightMilli = 250;
  it.disabled = true;
  r.items.push_back(it);
  OrderItem freightRow;
  freightRow.rowKind = RowKind::Freight;
  freightRow.name = "Freight";
  r.items.push_back(freightRow);
  return r;
}

TEST(OrdersFile, WritesExactBytes) {
  std::vector<OrderRecord> records;
  records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
  records[0].children.push_back(SampleOrder());
  records.push_back(MakeFolder(RecordKind::Trash, "Trash"));
  std::string expected =
      "#BEGIN\nTIME=1765000000\nVERSION=2034361\nOWNER=Tolmi PRO\n"
      "NODE3=New Orders\nOS=0\nOD=0\nOI=\n#BRANCH\n"
      "NODE1=1000\nOS=1\nOD=1765000000\nOI=77\n*Name=Ann Lee\n*Note=a=b=c\n*Amount=12.50\n"
      "IN=Blue Mug\nIC=MUG-01\nIQ=3\nI1=Red\nIT=2.500000\nIX=0.000000\nIR=0.000000\n"
      "IW=0.250000\nIF=0.000000\n#EOB\n"
      "NODE2=Trash\nOS=0\nOD=0\nOI=\n#EOF\n";
  EXPECT_EQ(WriteOrdersText(records, 1765000000, 2034361), expected);
}

TEST(OrdersFile, RoundTripKeepsDataButNotMemoryOnlyParts) {
  std::vector<OrderRecord> records{SampleOrder()};
  OrderRecord handMade;
  handMade.name = "1001";
  AppendField(handMade, "Name", "");
  AppendField(handMade, "City", "");
  records.push_back(handMade);
  std::string bytes = WriteOrdersText(records, 5, 6);
  OrdersReading back = ReadOrdersText(bytes);
  ASSERT_TRUE(back.Accepted());
  ASSERT_EQ(back.records.size(), 2u);
  const OrderRecord& r = back.records[0];
  EXPECT_EQ(r.orderId, "77");
  EXPECT_EQ(r.status, kStatusCharged);
  EXPECT_EQ(r.chargeDate, 0);  // not carried by the file
  EXPECT_EQ(r.totalCents, 1250);
  ASSERT_EQ(r.fields.size(), 3u);
  EXPECT_EQ(r.fields[1].value, "a=b=c");
  ASSERT_EQ(r.items.size(), 1u);  // the display row is not written
  EXPECT_FALSE(r.items[0].disabled);
  EXPECT_EQ(r.items[0].code, std::optional<std::string>("MUG-01"));
  EXPECT_FALSE(r.items[0].option2.has_value());
  EXPECT_EQ(r.items[0].LineCents(), 750);
  const OrderRecord& h = back.records[1];
  EXPECT_EQ(h.orderId, "");
  ASSERT_EQ(h.fields.size(), 2u);
  EXPECT_EQ(h.fields[1].name, "City");
  EXPECT_EQ(h.fields[1].value, "");
  EXPECT_EQ(WriteOrdersText(back.records, 5, 6), bytes);
  ASSERT_TRUE(back.latestOrder.has_value());
  EXPECT_EQ(back.latestOrder->name, "1001");
}

TEST(OrdersFile, ReaderTrustRules) {
  EXPECT_TRUE(ReadOrdersText("#BEGIN\nTIME=1\n#EOF\n").Accepted());
  EXPECT_TRUE(ReadOrdersText("TIME=1\nNODE1=5\nOS=0\n").Accepted());
  EXPECT_FALSE(ReadOrdersText("#BEGIN\nTIME=1\nNODE1=5\nOS=0\n").Accepted());
  EXPECT_FALSE(ReadOrdersText("NODE1=5\nOS=0\n").Accepted());
  // A stray "#EOB" at the top stops reading before "#EOF" is... still seen later.
  OrdersReading stray = ReadOrdersText("#BEGIN\nTIME=1\nNODE1=5\nOS=0\n#EOB\nNODE1=6\nOS=0\n");
  EXPECT_FALSE(stray.Accepted());
  EXPECT_EQ(stray.records.size(), 1u);
}

TEST(OrdersFile, RecordWithoutStatusLineIsDroppedAndNestingKept) {
  OrdersReading r = ReadOrdersText(
      "#BEGIN\nTIME=1\nNODE0=A\nOS=0\n#BRANCH\nNODE1=1\nOS=0\nNODE1=2\nOD=5\nNODE1=3\nOS=2\n"
      "#EOB\nNODE\nOS=0\n*NoEquals\nIQ=4\nIN=\nIQ=-7\n#EOF\n");
  ASSERT_EQ(r.records.size(), 2u);
  ASSERT_EQ(r.records[0].children.size(), 2u);
  EXPECT_EQ(r.records[0].children[0].name, "1");
  EXPECT_EQ(r.records[0].children[1].name, "3");
  EXPECT_EQ(r.records[0].children[1].status, kStatusDispatched);
  EXPECT_EQ(r.records[1].name, "");
  EXPECT_TRUE(r.records[1].fields.empty());
  ASSERT_EQ(r.records[1].items.size(), 1u);
  EXPECT_EQ(r.records[1].items[0].quantity, -7);
  ASSERT_TRUE(r.latestOrder.has_value());
  EXPECT_EQ(r.latestOrder->name, "3");
}

TEST(OrdersFile, MalformedInputNeverCrashes) {
  std::string deep = "#BEGIN\nTIME=1\n";
  for (int i = 0; i < 5000; ++i) deep += "NODE0=x\nOS=0\n#BRANCH\n";
  deep += "#EOF\n";
  OrdersReading r = ReadOrdersText(deep);
  EXPECT_TRUE(r.Accepted());
  std::string bytes = WriteOrdersText(r.records, 1, 1);
  EXPECT_EQ(ReadOrdersText(bytes).records.size(), 1u);
  std::string giant = "#BEGIN\nTIME=1\nNODE1=big\nOS=0\n*Big=" + std::string(100000, 'x') +
                      "\nIQ=99999999999999\nIN=a\nIT=1e999\nIQ=99999999999999\n#EOF";
  OrdersReading g = ReadOrdersText(giant);
  ASSERT_EQ(g.records.size(), 1u);
  ASSERT_EQ(g.records[0].items.size(), 1u);
  EXPECT_EQ(g.records[0].items[0].quantity, INT32_MAX);
  EXPECT_EQ(g.records[0].items[0].unitCents, 100);  // amounts are plain decimals: no exponent
  for (std::size_t cut = 0; cut < bytes.size() && cut < 3000; cut += 7)
    (void)ReadOrdersText(std::string_view(bytes).substr(0, cut));
  (void)ReadOrdersText(std::string("\0\0#EOF\n\xff\xfe", 9));
}

TEST(OrdersFile, LoadFallsBackOnBackupAndMakesStandardFolders) {
  test::TestHome home;
  const std::string dir = home.path().string();
  OrdersTree tree;
  EXPECT_FALSE(LoadOrders(dir, tree));
  ASSERT_EQ(tree.records.size(), 2u);
  EXPECT_EQ(tree.records[0].name, "New Orders");
  EXPECT_EQ(tree.records[0].kind, RecordKind::NewOrders);
  EXPECT_EQ(tree.records[1].name, "Trash");
  EXPECT_EQ(tree.records[1].kind, RecordKind::Trash);

  home.Write("orders.ost", "#BEGIN\nTIME=1\nVERSION=1\nOWNER=Tolmi PRO\n#EOF\n");
  EXPECT_FALSE(LoadOrders(dir, tree));
  EXPECT_EQ(tree.records.size(), 2u);

  home.Write("orders.ost", "#BEGIN\nTIME=2\nNODE1=9\nOS=0\n");
  home.Write("orders.bak", "#BEGIN\nTIME=1\nNODE1=8\nOS=0\n*Name=Bo\n");  // incomplete too
  EXPECT_TRUE(LoadOrders(dir, tree));
  ASSERT_EQ(tree.records.size(), 1u);
  EXPECT_EQ(tree.records[0].name, "8");
  ASSERT_TRUE(tree.fieldTemplate.has_value());
  EXPECT_EQ(tree.fieldTemplate->fields[0].name, "Name");
}

TEST(OrdersFile, SaveKeepsBackupAndReportsWriteError) {
  test::TestHome home;
  const std::string dir = home.path().string();
  OrdersTree tree;
  tree.records.push_back(SampleOrder());
  ASSERT_TRUE(SaveOrders(dir, tree, 100).ok());
  std::string first = home.Read("orders.ost");
  EXPECT_EQ(first, WriteOrdersText(tree.records, 100, VersionNumber()));
  tree.records[0].name = "1005";
  ASSERT_TRUE(SaveOrders(dir, tree, 200).ok());
  EXPECT_EQ(home.Read("orders.bak"), first);
  OrdersTree loaded;
  EXPECT_FALSE(LoadOrders(dir, loaded));
  EXPECT_EQ(loaded.records[0].name, "1005");

  Status bad = SaveOrders((home / "missing/folder").string(), tree, 1);
  EXPECT_FALSE(bad.ok());
  EXPECT_EQ(bad.message().rfind("O101: File Write Error", 0), 0u);
}

}  // namespace
}  // namespace tolmi

// The orders file: exact bytes, reading rules, damaged files, interrupted saves, hostile server
// replies, and two programs sharing one file (merged saves, numbers never repeated).
#include "orders/OrdersFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "orders/OrderNumbers.h"
#include "orders/ServerProtocol.h"
#include "tests/support/TestHome.h"
#include "util/Files.h"
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

// Display-only parts (the freight row, a disabled mark, the charge date) are not written.
TEST(OrdersFile, WritesExactBytesAndReadsThemBack) {
  std::vector<OrderRecord> records;
  records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
  records[0].children.push_back(SampleOrder());
  OrderRecord handMade;
  handMade.name = "1001";
  AppendField(handMade, "Name", "");
  AppendField(handMade, "City", "");
  records[0].children.push_back(handMade);
  records.push_back(MakeFolder(RecordKind::Trash, "Trash"));
  const std::string bytes = WriteOrdersText(records, 1765000000, 2034361);
  EXPECT_EQ(bytes,
            "#BEGIN\nTIME=1765000000\nVERSION=2034361\nOWNER=Tolmi PRO\n"
            "NODE3=New Orders\nOS=0\nOD=0\nOI=\n#BRANCH\n"
            "NODE1=1000\nOS=1\nOD=1765000000\nOI=77\n*Name=Ann Lee\n*Note=a=b=c\n*Amount=12.50\n"
            "IN=Blue Mug\nIC=MUG-01\nIQ=3\nI1=Red\nIT=2.500000\nIX=0.000000\nIR=0.000000\n"
            "IW=0.250000\nIF=0.000000\nNODE1=1001\nOS=0\nOD=0\nOI=\n*Name=\n*City=\n#EOB\n"
            "NODE2=Trash\nOS=0\nOD=0\nOI=\n#EOF\n");
  // Reading gives the same bytes back; the amounts are worked out from the fields read.
  OrdersReading back = ReadOrdersText(bytes);
  ASSERT_TRUE(back.Accepted());
  EXPECT_EQ(WriteOrdersText(back.records, 1765000000, 2034361), bytes);
  const OrderRecord& r = back.records[0].children[0];
  EXPECT_EQ(r.totalCents, 1250);
  EXPECT_EQ(r.items[0].LineCents(), 750);
}

// A file counts as whole only from "#BEGIN" to "#EOF" (a lost last line feed is no loss);
// a file without "#BEGIN" is an older one, read as it stands.
TEST(OrdersFile, ReaderTrustRules) {
  const struct {
    const char* text;
    bool accepted;
    std::size_t records;
  } cases[] = {
      {"#BEGIN\nTIME=1\n#EOF\n", true, 0},
      {"TIME=1\nNODE1=5\nOS=0\n", true, 1},
      {"#BEGIN\nTIME=1\nNODE1=5\nOS=0\n#EOF", true, 1},
      {"#BEGIN\nTIME=1\nNODE1=5\nOS=0\n#EO", false, 1},
      {"#BEGIN\nTIME=1\nNODE1=5\nOS=0\n", false, 1},
      {"NODE1=5\nOS=0\n", false, 1},
      // A stray "#EOB" at the top ends the records; the "#EOF" after them still counts.
      {"#BEGIN\nTIME=1\nNODE1=5\nOS=0\n#EOB\nNODE1=6\nOS=0\n#EOF\n", true, 1},
  };
  for (const auto& c : cases) {
    OrdersReading r = ReadOrdersText(c.text);
    EXPECT_EQ(r.Accepted(), c.accepted) << c.text;
    EXPECT_EQ(r.records.size(), c.records) << c.text;
  }
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

const char* kTwoOrders =
    "HTTP/1.0 200 OK\r\n\r\n0\r\n"
    "#ID=A-1\r\norderdate=05122026153000\r\nName=Ann\r\nAmount=12.50\r\nFreight=2\r\n"
    "PROD=15:3\tShirt\tS1:blue\t2.5\t0.2\tu\ty\tz\t10\t0.75\t1\tq\tLarge\tRed\t<BR>\r\n"
    "#ID=B-2\r\nName=Bo\r\n";

TEST(OrdersRobustness, DownloadedOrdersAreStoredExactly) {
  OrdersTree tree;
  tree.records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
  tree.records.push_back(MakeFolder(RecordKind::Trash, "Trash"));
  int next = 1000;
  ReplyParse p = ParseOrdersReply(ReplyBody(kTwoOrders), tree, next);
  ASSERT_EQ(p.ordersReceived, 2);
  const OrderRecord& a = tree.records[0].children[1];
  const std::string date = std::to_string(a.orderDate);
  EXPECT_EQ(WriteOrdersText(tree.records, 7, 2034361),
            "#BEGIN\nTIME=7\nVERSION=2034361\nOWNER=Tolmi PRO\n"
            "NODE3=New Orders\nOS=0\nOD=0\nOI=\n#BRANCH\n"
            "NODE1=1001\nOS=0\nOD=0\nOI=B-2\n*Name=Bo\n"
            "NODE1=1000\nOS=0\nOD=" +
                date +
                "\nOI=A-1\n*Name=Ann\n*Amount=12.50\n*Freight=2\n"
                "IN=Shirt\nIC=S1\nIQ=3\nIU=u\nI1=Large\nI2=Red\nIY=y\nIT=2.500000\nIX=0.750000\n"
                "IR=10.000000\nIW=0.200000\nIF=1.000000\n#EOB\n"
                "NODE2=Trash\nOS=0\nOD=0\nOI=\n#EOF\n");
  EXPECT_EQ(a.freightCents, 200);
}

TEST(OrdersRobustness, InterruptedSaveKeepsThePreviousFile) {
  test::TestHome home;
  const std::string dir = home.path().string();
  OrdersTree tree;
  tree.records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
  ASSERT_TRUE(SaveOrders(dir, tree, 1).ok());
  const std::string before = home.Read("orders.ost");
  for (int i = 0; i < 50; ++i) {
    OrderRecord o;
    o.name = std::to_string(2000 + i);
    AppendField(o, "Name", std::string(100, 'n'));
    tree.records[0].children.push_back(o);
  }
  SetAtomicWriteFaultForTesting(300);
  Status s = SaveOrders(dir, tree, 2);
  SetAtomicWriteFaultForTesting(-1);
  ASSERT_FALSE(s.ok());
  EXPECT_EQ(s.message().rfind("O101: File Write Error", 0), 0u) << s.message();
  EXPECT_EQ(home.Read("orders.ost"), before);
  for (const auto& entry : std::filesystem::directory_iterator(home.path()))
    EXPECT_TRUE(entry.path().filename() == "orders.ost" ||
                entry.path().filename() == "orders.bak" || entry.path().filename() == "orders.lock")
        << entry.path();  // no half-written file left behind
}

TEST(OrdersRobustness, SavesKeepABackupAndOneStoppedAfterTheBackupStepLosesNothing) {
  test::TestHome home;
  const std::string dir = home.path().string();
  OrdersTree old;
  old.records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
  old.records[0].children.push_back(MakeFolder(RecordKind::UserFolder, "Kept"));
  const std::string bytes = WriteOrdersText(old.records, 1, VersionNumber());
  home.Write("orders.bak", bytes);  // orders.ost was moved here, then the program stopped
  OrdersTree tree;
  EXPECT_TRUE(LoadOrders(dir, tree));
  EXPECT_EQ(WriteOrdersText(tree.records, 1, VersionNumber()), bytes);
  ASSERT_TRUE(SaveOrders(dir, tree, 5).ok());
  EXPECT_EQ(home.Read("orders.bak"), bytes);
  const std::string saved = home.Read("orders.ost");
  EXPECT_EQ(saved, WriteOrdersText(tree.records, 5, VersionNumber()));
  // The next save keeps this file as the backup.
  tree.records[0].children[0].name = "Renamed";
  ASSERT_TRUE(SaveOrders(dir, tree, 6).ok());
  EXPECT_EQ(home.Read("orders.bak"), saved);
  OrdersTree loaded;
  EXPECT_FALSE(LoadOrders(dir, loaded));
  EXPECT_EQ(loaded.records[0].children[0].name, "Renamed");
}

TEST(OrdersRobustness, ValuesCannotForgeLinesOfTheFile) {
  // A giant value is kept whole (no remainder read as a line of its own), and a line break
  // inside a value is written as a space.
  OrderRecord o;
  o.name = "1000";
  // "*Comments=" and the x's fill the 39,999 bytes a line once held; "OS=1" came next.
  AppendField(o, "Comments", std::string(39989, 'x') + "OS=1" + std::string(50000, 'y'));
  AppendField(o, "Note", "first\r\nNODE1=forged\nOS=1\rlast");
  OrderItem item;
  item.name = "Mug\n#EOB";
  o.items.push_back(item);
  std::vector<OrderRecord> records{o};
  std::string bytes = WriteOrdersText(records, 1, 1);
  OrdersReading r = ReadOrdersText(bytes);
  ASSERT_TRUE(r.Accepted());
  ASSERT_EQ(r.records.size(), 1u);
  EXPECT_EQ(r.records[0].status, kStatusUnread);
  ASSERT_EQ(r.records[0].fields.size(), 2u);
  EXPECT_EQ(r.records[0].fields[0].value, o.fields[0].value);
  EXPECT_EQ(r.records[0].fields[1].value, "first  NODE1=forged OS=1 last");
  ASSERT_EQ(r.records[0].items.size(), 1u);
  EXPECT_EQ(r.records[0].items[0].name, "Mug #EOB");
}

TEST(OrdersRobustness, HostileRepliesGiveOnlyWhatTheySay) {
  OrdersTree tree;
  int next = 1000;
  // Product counts: huge, negative, zero, not a number; a field without "="; a giant value.
  std::string body =
      "0\r\n#ID=1\r\n"
      "PROD=99999999999999999999:1\tA\tC\t1\t\t\t\t\t\t\t\t\t\t\t<BR>\t2\tB\r\n"
      "PROD=-3:1\tX\r\nPROD=0:1\tX\r\nPROD=abc:1\tX\r\nPROD=15\r\n"
      "NoEqualsHere\r\n=empty name\r\nBig=" +
      std::string(1 << 20, 'v') + "\r\n";
  ReplyParse p = ParseOrdersReply(body, tree, next);
  ASSERT_EQ(p.ordersReceived, 1);
  const OrderRecord& o = tree.records[0];
  ASSERT_EQ(o.items.size(), 2u);  // the huge count reads every product of its line
  EXPECT_EQ(o.items[0].name, "A");
  EXPECT_EQ(o.items[1].quantity, 2);
  EXPECT_EQ(o.items[1].name, "B");
  ASSERT_EQ(o.fields.size(), 2u);
  EXPECT_EQ(o.fields[0].name, "");
  EXPECT_EQ(o.fields[0].value, "empty name");
  EXPECT_EQ(o.fields[1].value.size(), 1u << 20);
  EXPECT_EQ(next, 1001);
}

OrderRecord Order(const std::string& name, const std::string& id = "") {
  OrderRecord o;
  o.kind = RecordKind::Order;
  o.name = name;
  o.orderId = id;
  if (!id.empty()) o.orderDate = 1765000000;  // downloaded orders carry their date
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
    // Orders that came from the other program keep their dates, so a later save of A
    // (a download saves again after the server's delete answer) finds them its own.
    ForEachRecord(back.records, [](const OrderRecord& r) {
      if (!r.orderId.empty()) {
        EXPECT_EQ(r.orderDate, 1765000000) << r.name;
      }
    });
    if (c.bDeletesSavedOrder) continue;
    ASSERT_TRUE(SaveOrders(dir, a, 4).ok());
    LoadOrders(dir, back);
    std::vector<std::string> names = Names(back), expected = c.expected;
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
  }
}

// Two downloads into a home without an orders file: both file the same order; the second
// save keeps it once under its number, and the first program's next save finds it its own.
TEST(OrdersSharing, SameOrderFiledByTwoTreesThatNeverReadTheFileIsKeptOnce) {
  test::TestHome home;
  const std::string dir = home.path().string();
  OrdersTree a, b;
  LoadOrders(dir, a);
  LoadOrders(dir, b);
  for (OrdersTree* tree : {&a, &b}) NewOrders(*tree) = {Order("1001", "X-2"), Order("1000", "X-1")};
  ASSERT_TRUE(SaveOrders(dir, a, 1).ok());
  ASSERT_TRUE(SaveOrders(dir, b, 2).ok());
  ASSERT_TRUE(SaveOrders(dir, a, 3).ok());
  OrdersTree back;
  LoadOrders(dir, back);
  EXPECT_EQ(Names(back), (std::vector<std::string>{"1001:X-2", "1000:X-1"}));
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

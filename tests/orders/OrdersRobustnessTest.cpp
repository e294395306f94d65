// Damaged orders files, interrupted saves and hostile server replies: the documented result
// or a clear error, never a crash or a record that was not there.
#include <gtest/gtest.h>

#include <filesystem>

#include "orders/OrdersFile.h"
#include "orders/ServerProtocol.h"
#include "tests/support/TestHome.h"
#include "util/Files.h"
#include "util/Version.h"

namespace tolmi {
namespace {

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

TEST(OrdersRobustness, EveryTruncationFallsBackOrReadsWhole) {
  std::vector<OrderRecord> records;
  records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
  OrdersTree parsed;
  parsed.records = records;
  int next = 1000;
  (void)ParseOrdersReply(ReplyBody(kTwoOrders), parsed, next);
  const std::string whole = WriteOrdersText(parsed.records, 9, 1);
  // A cut file is never taken as complete, unless the cut only lost the final line feed.
  for (std::size_t cut = 0; cut < whole.size(); ++cut) {
    OrdersReading r = ReadOrdersText(std::string_view(whole).substr(0, cut));
    if (cut >= whole.size() - 1) {
      EXPECT_TRUE(r.Accepted()) << cut;
      EXPECT_EQ(WriteOrdersText(r.records, 9, 1), whole);
    } else {
      EXPECT_FALSE(r.Accepted()) << cut;
    }
  }

  // On disk: a cut orders.ost gives exactly the records of orders.bak.
  test::TestHome home;
  OrdersTree older;
  older.records.push_back(MakeFolder(RecordKind::Trash, "Trash"));
  home.Write("orders.bak", WriteOrdersText(older.records, 1, 1));
  home.Write("orders.ost", whole.substr(0, whole.size() / 2));
  OrdersTree loaded;
  EXPECT_TRUE(LoadOrders(home.path().string(), loaded));
  ASSERT_EQ(loaded.records.size(), 1u);
  EXPECT_EQ(loaded.records[0].name, "Trash");
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
    EXPECT_TRUE(entry.path().filename() == "orders.ost" || entry.path().filename() == "orders.bak" ||
                entry.path().filename() == "orders.lock")
        << entry.path();  // no half-written file left behind
  OrdersTree back;
  EXPECT_FALSE(LoadOrders(dir, back));
  EXPECT_TRUE(back.records[0].children.empty());
}

TEST(OrdersRobustness, SaveStoppedAfterTheBackupStepLosesNothing) {
  test::TestHome home;
  const std::string dir = home.path().string();
  OrdersTree old;
  old.records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
  old.records[0].children.push_back(MakeFolder(RecordKind::UserFolder, "Kept"));
  const std::string bytes = WriteOrdersText(old.records, 1, VersionNumber());
  home.Write("orders.bak", bytes);  // orders.ost was moved here, then the program stopped
  OrdersTree tree;
  EXPECT_TRUE(LoadOrders(dir, tree));
  ASSERT_EQ(tree.records.size(), 1u);
  ASSERT_EQ(tree.records[0].children.size(), 1u);
  EXPECT_EQ(tree.records[0].children[0].name, "Kept");
  ASSERT_TRUE(SaveOrders(dir, tree, 5).ok());
  EXPECT_EQ(home.Read("orders.bak"), bytes);
  EXPECT_EQ(home.Read("orders.ost"), WriteOrdersText(tree.records, 5, VersionNumber()));
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

  // Replies that are not orders at all.
  for (std::string reply :
       {std::string(), std::string("\r\n\r\n"), std::string("HTTP/1.0 500\r\n\r\n"),
        std::string("\0\0\0", 3), std::string(100000, '#')}) {
    std::string_view b = ReplyBody(reply);
    int code = ReplyResultCode(b);
    if (code == 0) (void)ParseOrdersReply(b, tree, next);
  }
  EXPECT_EQ(ReplyResultCode(ReplyBody("HTTP/1.0 500\r\n\r\n")), 100);
  EXPECT_EQ(ReplyResultCode("99999999999999999999\r\n"), INT32_MAX);
  EXPECT_EQ(next, 1001);
}

}  // namespace
}  // namespace tolmi

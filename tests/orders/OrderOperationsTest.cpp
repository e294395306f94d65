#include <gtest/gtest.h>

#include "orders/CsvExport.h"
#include "orders/OrderOperations.h"
#include "tests/support/TestHome.h"

namespace tolmi {
namespace {

TEST(CsvExport, ExactBytes) {
  OrderRecord a;
  a.name = "1000";
  a.orderId = "7";
  AppendField(a, "Name", "Ann O'Neil");
  AppendField(a, "Cust'Ref", "x,y");
  a.status = kStatusDispatched;
  a.chargeDate = 1234;
  OrderItem mug;
  mug.name = "Mug's";
  mug.code = "M1";
  mug.quantity = 2;
  mug.unitCents = 450;
  mug.option1 = "Red";
  mug.disabled = true;
  a.items.push_back(mug);
  OrderItem pen;
  pen.name = "Pen";
  pen.quantity = 1;
  pen.unitCents = 100;
  a.items.push_back(pen);
  OrderItem sep;
  sep.rowKind = RowKind::Separator;
  a.items.push_back(sep);
  OrderRecord folder = MakeFolder(RecordKind::UserFolder, "F");
  OrderRecord b;
  b.orderId = "8";
  AppendField(b, "Name", "Bo");
  auto date = [](std::time_t t) { return "D" + std::to_string(t); };
  std::string csv = ExportOrdersCsv({&folder, &a, &b}, date);
  EXPECT_EQ(csv,
            "Name,Cust''Ref,OrderID,ChargeStatus,ChargeDate\n"
            ",ProductName,ProductCode,Quantity,Total,Status,Option1,Option2\n"
            "'Ann O''Neil','x,y','7','Fulfilled','D1234'\n"
            ",'Mug''s','M1',2,4.50,1,'Red',,\n"
            ",'Pen',,1,1.00,0,,,\n"
            "'Bo','8','Pending',''\n");
  EXPECT_EQ(ExportOrdersCsv({&folder}, date), "");
  test::TestHome home;
  std::string path = (home / "out.csv").string();
  ASSERT_TRUE(WriteOrdersCsv(path, {&a}, date).ok());
  EXPECT_EQ(home.Read("out.csv"), ExportOrdersCsv({&a}, date));
}

TEST(OrderOperations, StatusMarksAndReading) {
  OrderRecord o;
  MarkRead(o);
  EXPECT_EQ(o.status, kStatusPending);
  MarkStatus(o, kStatusCharged, 500);
  EXPECT_EQ(o.chargeDate, 500);
  MarkStatus(o, kStatusDispatched, 600);
  MarkStatus(o, kStatusCharged, 700);
  EXPECT_EQ(o.chargeDate, 500);
  MarkRead(o);
  EXPECT_EQ(o.status, kStatusCharged);
  EXPECT_EQ(ListStatusText(kStatusUnread), "Pending");
  EXPECT_EQ(ListStatusText(kStatusCancelled), "Canceled");
  EXPECT_EQ(StatusFromText("back order"), std::optional<std::uint16_t>(kStatusBackOrder));
  EXPECT_FALSE(StatusFromText("nope").has_value());
}

TEST(OrderOperations, NewOrderAndDelete) {
  OrderRecord tmpl;
  AppendField(tmpl, "Name", "Ann");
  AppendField(tmpl, "Amount", "5");
  int next = 1000;
  OrderRecord n = NewOrderFromTemplate(tmpl, next);
  EXPECT_EQ(n.name, "1000");
  EXPECT_EQ(next, 1001);
  ASSERT_EQ(n.fields.size(), 2u);
  EXPECT_EQ(n.fields[1].name, "Amount");
  EXPECT_EQ(n.fields[1].value, "");

  std::vector<OrderRecord> tree;
  tree.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
  tree.push_back(MakeFolder(RecordKind::Trash, "Trash"));
  n.orderDate = 99;
  tree[0].children.push_back(n);
  EXPECT_EQ(DeleteRecord(tree, "Trash"), DeleteOutcome::Protected);
  EXPECT_EQ(DeleteRecord(tree, "New Orders"), DeleteOutcome::Protected);
  EXPECT_EQ(DeleteRecord(tree, "1000"), DeleteOutcome::MovedToTrash);
  EXPECT_TRUE(tree[0].children.empty());
  ASSERT_EQ(tree[1].children.size(), 1u);
  EXPECT_EQ(tree[1].children[0].orderDate, 99);
  ASSERT_NE(FindOrderByName(tree, "1000"), nullptr);
  EXPECT_EQ(DeleteRecord(tree, "1000"), DeleteOutcome::Deleted);
  EXPECT_TRUE(tree[1].children.empty());
  EXPECT_EQ(DeleteRecord(tree, "1000"), DeleteOutcome::NotFound);
}

}  // namespace
}  // namespace tolmi

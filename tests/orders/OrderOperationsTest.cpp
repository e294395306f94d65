// Order operations: CSV export, status marks, new and deleted orders, money and the price mark.
#include <gtest/gtest.h>

#include "orders/CsvExport.h"
#include "orders/OrderOperations.h"
#include "orders/OrdersFile.h"
#include "orders/PriceCheck.h"
#include "tests/support/TestHome.h"
#include "util/Money.h"

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
  EXPECT_EQ(DeleteRecord(tree, "1000"), DeleteOutcome::Deleted);
  EXPECT_TRUE(tree[1].children.empty());
  EXPECT_EQ(DeleteRecord(tree, "1000"), DeleteOutcome::NotFound);
}

TEST(Money, ReadsTextsIntoWholeUnitsRoundingHalfAwayFromZero) {
  struct Case {
    const char* text;
    int places;
    std::int64_t cart, field;  // ParseScaled (catalogue texts), ParseDecimal (number fields)
  } cases[] = {
      {"12.50", 2, 1250, 1250},
      {"1.005", 2, 101, 101},
      {"-0.125", 2, -13, -13},
      {"0.004", 2, 0, 0},
      {"$1,250.50", 2, 125050, 0},
      {"  7", 2, 700, 700},
      {"1.2.3", 2, 120, 120},
      {"abc", 2, 0, 0},
      {"-", 2, 0, 0},
      {".5", 3, 500, 500},
      {"1e3", 2, 1300, 100},
      {"12.50abc", 2, 1250, 1250},
      {"8.8754", 3, 8875, 8875},
      {"8.8755", 3, 8876, 8876},
      {"99999999999999999999", 2, kScaledLimit, kScaledLimit},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseScaled(c.text, c.places), c.cart) << c.text;
    EXPECT_EQ(ParseDecimal(c.text, c.places), c.field) << c.text;
  }
  EXPECT_EQ(FormatCents(-5), "-0.05");
  EXPECT_EQ(FormatCents(123456789012), "1234567890.12");
  EXPECT_EQ(FormatScaled(250, 3), "0.250");
  // 4.2495 -> 4.25 and -1.5 -> -2: halves go away from zero, nothing else moves up.
  EXPECT_EQ(PercentOf(2833, 15000), 425);
  EXPECT_EQ(PercentOf(-2833, 15000), -425);
  EXPECT_EQ(DivRound(-3, 2), -2);
  EXPECT_EQ(DivRound(5, 3), 2);
  EXPECT_EQ(PerWeight(150, 1333), 200);  // 1.50 a unit x 1.333 units = 1.9995
}

TEST(PriceMarkFile, MarkAndNotesRoundTripAndOnlyAddLinesOlderReadersSkip) {
  OrderRecord o;
  o.name = "1000";
  o.orderId = "7";
  AppendField(o, "Amount", "10.34");
  OrderItem tea;
  tea.name = "Teapot";
  tea.code = "TEA-1";
  tea.quantity = 1;
  tea.unitCents = 34;
  o.items.push_back(tea);
  const std::string plain = WriteOrdersText({o}, 1, 1);
  o.priceMark = PriceMark::Differs;
  o.priceNotes = {"line 1 (TEA-1): unit price 0.34, catalogue 34.00",
                  "total 10.34, catalogue 44.00"};
  const std::string marked = WriteOrdersText({o}, 1, 1);
  EXPECT_NE(marked.find("PM=3\nPN=line 1 (TEA-1): unit price 0.34, catalogue 34.00\n"),
            std::string::npos);
  std::string without = marked;
  for (const char* key : {"PM=", "PN=", "PN="}) {
    const std::size_t at = without.find(key);
    without.erase(at, without.find('\n', at) + 1 - at);
  }
  EXPECT_EQ(without, plain);
  const OrdersReading back = ReadOrdersText(marked);
  ASSERT_EQ(back.records.size(), 1u);
  EXPECT_EQ(back.records[0].priceMark, PriceMark::Differs);
  EXPECT_EQ(back.records[0].priceNotes, o.priceNotes);
  EXPECT_EQ(back.records[0].fields.size(), 1u);  // the mark is no customer field
  EXPECT_EQ(back.records[0].items[0].unitCents, 34);
  EXPECT_EQ(ReadOrdersText("#BEGIN\nNODE1=1\nOS=0\nPM=9\n#EOF\n").records[0].priceMark,
            PriceMark::Unchecked);
}

}  // namespace
}  // namespace tolmi

// Money reading and rounding, and the price check's mark in the orders file.
#include <gtest/gtest.h>

#include "orders/OrdersFile.h"
#include "orders/PriceCheck.h"
#include "util/Money.h"

namespace tolmi {
namespace {

TEST(Money, ReadsTextsIntoWholeUnitsRoundingHalfAwayFromZero) {
  struct Case {
    const char* text;
    int places;
    std::int64_t cart, field;  // ParseScaled (catalogue texts), ParseDecimal (number fields)
  } cases[] = {
      {"12.50", 2, 1250, 1250},         {"1.005", 2, 101, 101},
      {"-0.125", 2, -13, -13},          {"0.004", 2, 0, 0},
      {"$1,250.50", 2, 125050, 0},      {"  7", 2, 700, 700},
      {"1.2.3", 2, 120, 120},           {"abc", 2, 0, 0},
      {"-", 2, 0, 0},                   {".5", 3, 500, 500},
      {"1e3", 2, 1300, 100},           {"12.50abc", 2, 1250, 1250},
      {"8.8754", 3, 8875, 8875},        {"8.8755", 3, 8876, 8876},
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
  o.priceNotes = {"line 1 (TEA-1): unit price 0.34, catalogue 34.00", "total 10.34, catalogue 44.00"};
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

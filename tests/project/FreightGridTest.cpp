// The freight grid: rows and " - " cells, the three sort orders, cell, tax, enable
// and rule edits (refusals change nothing), and tables through the clipboard text.
#include <gtest/gtest.h>

#include "project/FreightGrid.h"

namespace tolmi {
namespace {

StoreProject Grid() {
  StoreProject p;
  auto add = [&](const char* key, const char* name, const char* tax, const char* band0) {
    FreightRegion r;
    r.key = key;
    r.name = name;
    r.taxRate = tax;
    r.methods[1].costs[0] = band0;
    p.regions.push_back(r);
  };
  add("NZ", "New Zealand", "10%", "4.50");
  add("AU", "australia", "", "12");
  add("US", "USA", "gst", "");
  add("UK", "United Kingdom", "10%", "2");
  p.regions[3].methods[1].rule = "x>5k";
  return p;
}

std::vector<std::string> Names(const std::vector<FreightGridRow>& rows) {
  std::vector<std::string> names;
  for (const auto& r : rows) names.push_back(r.cells[0]);
  return names;
}

TEST(FreightGridTest, RowsShowRuleCellsAndSort) {
  const StoreProject p = Grid();
  auto rows = FreightGridRows(p, 1);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].cells[1], "4.50");
  EXPECT_EQ(rows[0].cells[13], "10%");
  EXPECT_TRUE(rows[3].hasRule);
  for (int c = 1; c <= 12; ++c) EXPECT_EQ(rows[3].cells[c], " - ");
  EXPECT_TRUE(FreightGridRows(p, 3).empty());

  using V = std::vector<std::string>;
  struct Case {
    int column;
    bool descending;
    V order;
  };
  const Case cases[] = {
      {0, false, {"australia", "New Zealand", "United Kingdom", "USA"}},
      {0, true, {"USA", "United Kingdom", "New Zealand", "australia"}},
      // As numbers (12 after 4.50), the empty band first.
      {1, false, {"USA", "United Kingdom", "New Zealand", "australia"}},
      // As text ignoring case, ties by name.
      {13, false, {"australia", "New Zealand", "United Kingdom", "USA"}},
      {-1, false, {"New Zealand", "australia", "USA", "United Kingdom"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Names(FreightGridRows(p, 1, c.column, c.descending)), c.order) << c.column;
}

TEST(FreightGridTest, EditsMarkChangedAndRefusalsChangeNothing) {
  StoreProject p = Grid();
  EXPECT_TRUE(SetFreightCell(p, 0, 1, 4, " 7.25 "));
  EXPECT_TRUE(p.changed);
  EXPECT_EQ(p.regions[0].methods[1].costs[3], "7.25");
  EXPECT_TRUE(SetFreightCell(p, 3, 1, 13, "5"));  // the tax of a record with a rule
  EXPECT_EQ(p.regions[3].taxRate, "5");

  p.changed = false;
  const StoreProject before = Grid();
  struct Refused {
    std::size_t region;
    int method;
    int column;
    const char* text;
  };
  const Refused refused[] = {{0, 1, 0, "Name"}, {3, 1, 2, "1"},     {0, 1, 2, "1,50"},
                             {0, 1, 2, "1|0"},  {0, 1, 13, "a\nb"}, {9, 1, 2, "1"},
                             {0, 3, 2, "1"},    {0, 1, 14, "1"}};
  for (const Refused& r : refused)
    EXPECT_FALSE(SetFreightCell(p, r.region, r.method, r.column, r.text)) << r.text;
  EXPECT_FALSE(SetFreightRule(p, 0, 1, "a\r\nb"));
  EXPECT_FALSE(SetFreightRule(p, 0, 1, std::string(kMaxFreightRule + 1, 'x')));
  EXPECT_FALSE(SetFreightEnabled(p, 4, 0, false));
  EXPECT_FALSE(p.changed);
  EXPECT_TRUE(SetFreightCell(p, 1, 1, 1, "12"));  // the same value: no change
  EXPECT_FALSE(p.changed);

  EXPECT_TRUE(SetFreightEnabled(p, 1, 1, false));
  EXPECT_TRUE(SetFreightRule(p, 0, 1, "y<2k  "));
  EXPECT_TRUE(p.changed);
  EXPECT_EQ(p.regions[0].methods[1].rule, "y<2k");
  EXPECT_FALSE(p.regions[1].methods[1].enabled);
  EXPECT_EQ(FreightGridRows(p, 1)[0].cells[5], " - ");
}

TEST(FreightGridTest, TablesCopyPasteAndClear) {
  StoreProject p = Grid();
  p.regions[0].methods[1].costs[11] = "1.00";
  const std::string copied = CopyFreightTables(p, 1, {0, 3});
  EXPECT_EQ(copied, "4.50\t\t\t\t\t\t\t\t\t\t\t1.00\t\n2\t\t\t\t\t\t\t\t\t\t\t\tx>5k\n");
  // Two lines go one per region; the rule comes along.
  EXPECT_EQ(PasteFreightTables(p, 0, {2, 1}, copied), 2);
  EXPECT_EQ(p.regions[2].methods[0], p.regions[0].methods[1]);
  EXPECT_EQ(p.regions[1].methods[0].rule, "x>5k");
  // One spreadsheet row goes into every region; a bad line is skipped.
  p.changed = false;
  EXPECT_EQ(PasteFreightTables(p, 2, {0, 1, 2}, "3\t4\r\n"), 3);
  EXPECT_EQ(p.regions[1].methods[2].costs[1], "4");
  EXPECT_TRUE(p.changed);
  EXPECT_EQ(PasteFreightTables(p, 2, {0}, "1,5\t2\n"), 0);
  EXPECT_EQ(p.regions[0].methods[2].costs[0], "3");
  EXPECT_EQ(ClearFreightTables(p, 1, {0, 3, 2}), 2);  // region 2 had nothing to clear
  EXPECT_TRUE(p.regions[3].methods[1].rule.empty());
  EXPECT_EQ(ClearFreightTables(p, 1, {0, 3}), 0);
}

}  // namespace
}  // namespace tolmi

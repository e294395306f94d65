// Product import from files on disk: a real-world-shaped CSV end to end (read,
// detect, split, treat, import, save, read back), and files that must not harm
// the project: unbalanced quotes, overlong lines, NUL bytes, 10,000 columns,
// empty files, and values too long for one project-file line.
#include <gtest/gtest.h>

#include "project/ProductImport.h"
#include "project/ProjectFile.h"
#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"

namespace tolmi {
namespace {

using test::FakeClock;
using test::FakePrompter;
using test::TestHome;

struct Shop {
  StoreProject project;
  std::uint32_t serial = 0;
  FakePrompter prompter;
  StoreNode* category = nullptr;
  Shop() {
    auto cat = CreateNode();
    cat->title = "Cellar";
    cat->file = "index.html";
    category = AppendNode(project, nullptr, std::move(cat));
    project.selected = category;
  }
  std::vector<std::size_t> All(const ImportData& data) const {
    std::vector<std::size_t> all(data.records.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    return all;
  }
};

TEST(ProductImportFileTest, RealWorldCsvRoundTripsThroughTheProjectFile) {
  TestHome home;
  home.Write("stock.csv",
             "Title,Price,Code,Weight,Notes\r\n"
             "\"Merlot, 2015\",\"$1,250.00\",M-1,\"0,75\",\"He said \"\"superb\"\"\"\r\n"
             "\r\n"
             "Shiraz,\"EUR 9,50\",S-1,1,plain\r\n"
             "  Riesling ,12,M-1,2,\"unclosed, to the end\r\n");
  auto data = ReadDataFile((home / "stock.csv").string());
  ASSERT_TRUE(data.ok());
  ASSERT_EQ(data->records.size(), 4u);
  EXPECT_EQ(data->settings.delimiter, ',');
  EXPECT_EQ(ColumnCount(*data), 5u);
  data->columns[0] = ImportTarget::Title;
  data->columns[1] = ImportTarget::Cost;
  data->columns[2] = ImportTarget::ProductCode;
  data->columns[3] = ImportTarget::Label1;
  data->columns[4] = ImportTarget::Description;
  Shop shop;
  // The header line is record 0; import records 1 to 3.
  auto count = ImportProducts(shop.project, shop.serial, *data, {1, 2, 3}, shop.prompter);
  ASSERT_TRUE(count.ok());
  EXPECT_EQ(*count, 3);
  const auto& kids = shop.category->children;
  ASSERT_EQ(kids.size(), 3u);
  EXPECT_EQ(kids[0]->title, "Merlot, 2015");
  EXPECT_EQ(kids[0]->cost, "1250.00");
  EXPECT_EQ(kids[0]->labels[0], "0,75");  // decimal point "." leaves user text alone
  EXPECT_EQ(kids[0]->body, "He said \"superb\"");
  EXPECT_EQ(kids[1]->cost, "950");  // "," is no decimal point here: only digits stay
  EXPECT_EQ(kids[2]->title, "Riesling ");
  EXPECT_EQ(kids[2]->body, "unclosed, to the end");

  // With the decimal comma the same cost and label read as decimals.
  data->settings.decimalPoint = ",";
  auto again = UpdateProducts(shop.project, *data, {2, 3}, shop.prompter);
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(*again, 2);  // S-1, and M-1 (the first product with that code)
  EXPECT_EQ(kids[1]->cost, "9.50");
  EXPECT_EQ(kids[0]->title, "Riesling ");  // the record for M-1 updated Merlot only
  EXPECT_EQ(kids[0]->cost, "12");
  EXPECT_EQ(kids[2]->cost, "12");
  EXPECT_EQ(kids[2]->body, "unclosed, to the end");
  EXPECT_EQ(kids[0]->labels[0], "2");

  // What was imported survives a save and a read.
  FakeClock clock(1100000000);
  const std::string stp = (home / "Cellar.stp").string();
  ASSERT_TRUE(WriteProjectFile(shop.project, stp, shop.prompter, clock, 2034361).ok());
  StoreProject loaded;
  ASSERT_TRUE(ReadProjectFile(loaded, stp, nullptr, false).ok());
  ASSERT_EQ(CountNodes(loaded), 4u);
  const StoreNode* first = RootNode(loaded)->children[0].get();
  EXPECT_EQ(first->body, "unclosed, to the end");
  EXPECT_EQ(first->code, "M-1");
  EXPECT_EQ(first->file, "1.htm");
}

TEST(ProductImportFileTest, AwkwardFilesReadSafely) {
  TestHome home;
  // Empty and blank files give no records.
  home.Write("empty.csv", "");
  home.Write("blank.csv", "\n\r\n\n");
  for (const char* name : {"empty.csv", "blank.csv"}) {
    auto data = ReadDataFile((home / name).string());
    ASSERT_TRUE(data.ok());
    EXPECT_TRUE(data->records.empty());
    EXPECT_EQ(ColumnCount(*data), 0u);
    Shop shop;
    data->columns[0] = ImportTarget::Title;
    EXPECT_EQ(*ImportProducts(shop.project, shop.serial, *data, shop.All(*data), shop.prompter), 0);
    EXPECT_EQ(shop.prompter.shown.back().text, "0 record(s) have been imported.");
  }
  // A line over the piece size: nothing is read, with a message naming the line.
  home.Write("long.csv", "a\nb\n" + std::string(kImportPieceSize + 1, 'x'));
  auto tooLong = ReadDataFile((home / "long.csv").string());
  ASSERT_FALSE(tooLong.ok());
  EXPECT_EQ(tooLong.status().message(),
            "Line 3 of the data file is longer than 40000 bytes; nothing was read.");
  // Unbalanced quotes, doubled quote runs and stray quotes split without overrun.
  ImportSettings s;
  EXPECT_EQ(SplitRecord("\"\"\"", s), (std::vector<std::string>{"\""}));
  EXPECT_EQ(SplitRecord("\"a\"\"", s), (std::vector<std::string>{"a\""}));
  EXPECT_EQ(SplitRecord("x,\"", s), (std::vector<std::string>{"x", ""}));
  EXPECT_EQ(SplitRecord("\"a\"b,c", s), (std::vector<std::string>{"ab", "c"}));
  EXPECT_EQ(SplitRecord(",", s), (std::vector<std::string>{"", ""}));
  // NUL bytes and 10,000 columns: read as bytes, split, imported without harm.
  std::string wide;
  for (int i = 0; i < 10000; ++i) wide += std::to_string(i % 10) + ";";
  home.Write("odd.csv", std::string("N\0L;1\n", 6) + wide + "\n");
  auto odd = ReadDataFile((home / "odd.csv").string());
  ASSERT_TRUE(odd.ok());
  EXPECT_EQ(odd->settings.delimiter, ';');
  EXPECT_EQ(ColumnCount(*odd), 10001u);
  odd->columns[0] = ImportTarget::Title;
  odd->columns[25] = ImportTarget::Cost;
  Shop shop;
  EXPECT_EQ(*ImportProducts(shop.project, shop.serial, *odd, shop.All(*odd), shop.prompter), 2);
  EXPECT_EQ(shop.category->children[0]->title, std::string("N\0L", 3));
  EXPECT_EQ(shop.category->children[1]->cost, "5");
}

TEST(ProductImportFileTest, OverlongValuesStillReadBackAsOneLine) {
  // A record of almost 40000 bytes in one field would give a project-file line
  // longer than its reader takes; the imported value is cut to fit instead.
  std::string body(39990, 'b');
  body.replace(39920, 10, "COST=66666");  // would become a line of its own if split
  ImportData data;
  data.records = {"Long," + body, "Breaks,\"" + std::string(13400, '\r') + "x\""};
  data.columns[0] = ImportTarget::Title;
  data.columns[1] = ImportTarget::Description;
  Shop shop;
  ASSERT_EQ(*ImportProducts(shop.project, shop.serial, data, {0, 1}, shop.prompter), 2);
  const StoreNode& long1 = *shop.category->children[0];
  EXPECT_EQ(long1.body.size(), kMaxImportedValue);
  EXPECT_EQ(shop.category->children[1]->body.size(), kMaxImportedValue / 3);
  TestHome home;
  FakeClock clock(1100000000);
  const std::string stp = (home / "Long.stp").string();
  ASSERT_TRUE(WriteProjectFile(shop.project, stp, shop.prompter, clock, 2034361).ok());
  StoreProject loaded;
  ASSERT_TRUE(ReadProjectFile(loaded, stp, nullptr, false).ok());
  ASSERT_EQ(CountNodes(loaded), 3u);
  EXPECT_EQ(RootNode(loaded)->children[0]->body, long1.body);
  EXPECT_EQ(RootNode(loaded)->children[0]->cost, "");
  EXPECT_EQ(FitImportedValue("abc"), "abc");
}

}  // namespace
}  // namespace tolmi

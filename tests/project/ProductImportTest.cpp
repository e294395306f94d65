// Product import: records, delimiter detection, splitting, value treatments, Import and
// Update, a real-world-shaped file end to end through the project file, and files that
// must not harm the project (unbalanced quotes, overlong lines and values, NUL bytes,
// 10,000 columns, empty files).
#include "project/ProductImport.h"

#include <gtest/gtest.h>

#include "project/ProjectFile.h"
#include "tests/project/ProjectFixtures.h"

namespace tolmi {
namespace {

using Fields = std::vector<std::string>;
using test::FakeClock;
using test::TestHome;

TEST(ProductImportTest, CutsRecordsKeepingQuotedLineBreaks) {
  const struct {
    std::string bytes;
    Fields records;
  } kCases[] = {
      {"a,b\r\n\r\n\nc\nd\r\n", {"a,b", "c", "d"}},
      {"", {}},
      {std::string("x\0y\n", 4), {std::string("x\0y", 3)}},
      {"a,\"one\r\ntwo\",3\nb,c\n", {"a,\"one\ntwo\",3", "b,c"}},
      {"\"x\"\"\ny\";1\n", {"\"x\"\"\ny\";1"}},              // "" inside stays open
      {"a,\"\",\"b\nc\"\n", {"a,\"\",\"b\nc\""}},            // an empty field then a break
      {"12\" pizza,\"x\"\nb\n", {"12\" pizza,\"x\"", "b"}},  // a quote inside a field
      {"a,\"never closed\nb\nc\n", {"a,\"never closed", "b", "c"}},
  };
  for (const auto& c : kCases) {
    auto records = CutRecords(c.bytes);
    ASSERT_TRUE(records.ok()) << c.bytes;
    EXPECT_EQ(*records, c.records) << c.bytes;
  }
  // A quote closing more than a line's limit further on does not join the lines between.
  std::string far = "a,\"far\n";
  for (int i = 0; i < 4001; ++i) far += "xxxxxxxxx\n";
  EXPECT_EQ(CutRecords(far + "\"\n")->size(), 4003u);
  EXPECT_TRUE(CutRecords(std::string(kImportPieceSize, 'a')).ok());
}

TEST(ProductImportTest, DelimiterNeedsAStrictWinner) {
  EXPECT_EQ(DetectDelimiter({"a,b,c,d;e;f;g;h;i", "a,b,c,d;e;f;g;h;i"}, ','), ';');
  EXPECT_EQ(DetectDelimiter({"a,b;c"}, '|'), '|');
  EXPECT_EQ(DetectDelimiter({"\"a;b;c\"|d|e"}, ','), '|');  // quoted semicolons do not count
  // Only the first ten records count.
  std::vector<std::string> records(10, "a|b");
  records.push_back("a;b;c;d;e;f;g;h;i;j;k;l;m;n;o;p;q;r;s;t;u");
  EXPECT_EQ(DetectDelimiter(records, ','), '|');
}

TEST(ProductImportTest, SplitsQuotedFieldsWithoutOverrun) {
  const struct {
    std::string record;
    Fields fields;
  } kCases[] = {
      {"Shirt,\"Red, large\",12.50", {"Shirt", "Red, large", "12.50"}},
      {"\"say \"\"hi\"\"\",x", {"say \"hi\"", "x"}},
      {"  a,\tb, ,", {"a", "b", "", ""}},
      {"a,\"open, still", {"a", "open, still"}},  // an unbalanced quote runs to the end
      {"\"", {""}},
      {"\"a\"\"", {"a\""}},
      {"x,\"", {"x", ""}},
      {"\"a\"b,c", {"ab", "c"}},
      {",", {"", ""}},
      {"a,\"one\ntwo\",3", {"a", "one\ntwo", "3"}},
  };
  ImportSettings s;
  for (const auto& c : kCases) EXPECT_EQ(SplitRecord(c.record, s), c.fields) << c.record;
  s.escape = "\\";  // a separate escape character
  EXPECT_EQ(SplitRecord("\"a\\\"b\",c", s), (Fields{"a\"b", "c"}));
  ImportSettings plain;  // without a quote character quotes are plain text
  plain.quote = "";
  EXPECT_EQ(SplitRecord("\"a,b\"", plain), (Fields{"\"a", "b\""}));
}

TEST(ProductImportTest, HeadersTargetsAndValueTreatments) {
  ImportData data;
  data.records = {"a,b,c,d"};
  data.columns[3] = ImportTarget::Label6;
  EXPECT_EQ(ColumnHeader(data, 1) + ColumnHeader(data, 3) + ColumnHeader(data, 9999),
            "???Label 6???");
  EXPECT_EQ(TargetFromName("product code"), ImportTarget::ProductCode);
  EXPECT_EQ(TargetFromName("Field 2"), ImportTarget::Field2);
  EXPECT_EQ(TargetFromName("Field7"), std::nullopt);

  EXPECT_EQ(NumberValue("$1,250.00", "."), "1250.00");
  EXPECT_EQ(NumberValue("12,50", ","), "12.50");
  EXPECT_EQ(NumberValue("EUR 1.250,00", ","), "1.250.00");  // thousands dots are kept as read
  EXPECT_EQ(UserTextValue(",5 kg", ","), ".5 kg");
  EXPECT_EQ(UserTextValue("Red, large", ","), "Red, large");
  EXPECT_EQ(UserTextValue("3,5 kg", "."), "3,5 kg");
  EXPECT_EQ(ImportProgressText(100, 250), "100/250 Records imported.");
}

// Per product: title, cost, first label and description.
std::string Products(const StoreNode& category) {
  std::string out;
  for (const auto& n : category.children)
    out += n->title + "|" + n->cost + "|" + n->labels[0] + "|" + n->body + "\n";
  return out;
}

struct Shop {
  StoreProject project;
  std::uint32_t serial = 0;
  test::FakePrompter prompter;
  // Its file name is taken: imported files must avoid it.
  StoreNode* category = test::AddNode(project, nullptr, NodeKind::Category, "Cellar", "2.htm");
  Shop() {
    category->labels[1] = "Vintage";
    project.selected = category;
  }
  Result<int> Import(const ImportData& data, const ImportProgress& progress = nullptr) {
    std::vector<std::size_t> all(data.records.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    return ImportProducts(project, serial, data, all, prompter, progress);
  }
};

TEST(ProductImportTest, RealWorldCsvImportsUpdatesAndRoundTripsThroughTheProjectFile) {
  TestHome home;
  home.Write("stock.csv",
             "Title,Price,Code,Weight,Notes\r\n"
             "\"Merlot, 2015\",\"$1,250.00\",M-1,\"0,75\",\"He said \"\"superb\"\"\"\r\n"
             "\r\n"
             "Shiraz,\"EUR 9,50\",S-1,1,plain\r\n"
             "  Riesling ,12,M-1,2,\"unclosed, to the end\r\n"
             "Nameless,7,,9,no code\n");
  auto data = ReadDataFile((home / "stock.csv").string());
  ASSERT_TRUE(data.ok());
  data->columns[0] = ImportTarget::Title;
  data->columns[1] = ImportTarget::Cost;
  data->columns[2] = ImportTarget::ProductCode;
  data->columns[3] = ImportTarget::Label1;
  data->columns[4] = ImportTarget::Description;
  Shop shop;
  // The header line is record 0; import records 1 to 3.
  EXPECT_EQ(*ImportProducts(shop.project, shop.serial, *data, {1, 2, 3}, shop.prompter), 3);
  EXPECT_EQ(shop.prompter.shown.at(0).text, "3 record(s) have been imported.");
  EXPECT_EQ(shop.prompter.shown[0].title, "Import Complete");
  // Decimal point ".": user text is left alone and "," is no decimal point in a cost.
  EXPECT_EQ(Products(*shop.category),
            "Merlot, 2015|1250.00|0,75|He said \"superb\"\nShiraz|950|1|plain\n"
            "Riesling |12|2|unclosed, to the end\n");
  const auto& kids = shop.category->children;
  EXPECT_EQ(kids[0]->labels[1], "Vintage");  // copied from the selected node
  EXPECT_EQ(kids[0]->file + kids[1]->file + kids[2]->file, "1.htm2(1).htm3.htm");

  // With the decimal comma the same cost and label read as decimals.
  data->settings.decimalPoint = ",";
  EXPECT_EQ(*UpdateProducts(shop.project, *data, {2, 3, 4}, shop.prompter), 2);  // S-1, M-1
  EXPECT_EQ(shop.category->cost, "");  // an empty code cell matches nothing
  EXPECT_EQ(shop.prompter.shown.back().text, "2 record(s) have been updated.");
  EXPECT_EQ(shop.prompter.shown.back().title, "Update Complete");
  // The record for M-1 updated Merlot only.
  EXPECT_EQ(Products(*shop.category),
            "Riesling |12|2|unclosed, to the end\nShiraz|9.50|1|plain\n"
            "Riesling |12|2|unclosed, to the end\n");

  // What was imported survives a save and a read.
  FakeClock clock(1100000000);
  const std::string stp = (home / "Cellar.stp").string();
  ASSERT_TRUE(WriteProjectFile(shop.project, stp, shop.prompter, clock, 2034361).ok());
  StoreProject loaded;
  ASSERT_TRUE(ReadProjectFile(loaded, stp, nullptr, false).ok());
  EXPECT_EQ(Products(*RootNode(loaded)),  // trailing blanks of titles do not come back
            "Riesling|12|2|unclosed, to the end\nShiraz|9.50|1|plain\n"
            "Riesling|12|2|unclosed, to the end\n");

  // Without a product code column there is nothing to update by.
  data->columns[2] = ImportTarget::None;
  EXPECT_FALSE(UpdateProducts(shop.project, *data, {1}, shop.prompter).ok());
  EXPECT_EQ(shop.prompter.shown.back().text,
            "An update operation requires a Product Code field to be defined.");
  EXPECT_EQ(shop.prompter.shown.back().title, "Import Error");
}

TEST(ProductImportTest, RefusalsAndWhereProductsGo) {
  Shop shop;
  ImportData data;
  data.records = {"a,b"};
  data.columns[0] = ImportTarget::Cost;
  EXPECT_FALSE(shop.Import(data).ok());
  EXPECT_EQ(shop.prompter.shown.at(0).text,
            "When importing new items, the title must be defined.\r\nTo define a title, click on "
            "the appropriate column and select \"Title\" from the menu.");
  EXPECT_EQ(shop.prompter.shown[0].title, "Import Error");
  EXPECT_EQ(shop.serial, 0u);
  shop.project.selected = nullptr;  // nothing selected: nothing imported
  data.columns[0] = ImportTarget::Title;
  EXPECT_EQ(*shop.Import(data), 0);
  EXPECT_EQ(CountNodes(shop.project), 1u);

  // Beside a selected product; the progress callback stops the import.
  shop.project.selected = test::AddNode(shop.project, shop.category, NodeKind::Product, "Mug");
  data.records.clear();
  for (int i = 0; i < 250; ++i) data.records.push_back("P" + std::to_string(i));
  data.columns[5] = ImportTarget::Title;  // the right one wins, empty here
  std::vector<int> calls;
  auto count = shop.Import(data, [&](int done, int total) {
    EXPECT_EQ(total, 250);
    calls.push_back(done);
    return done < 200;
  });
  EXPECT_EQ(*count, 200);
  EXPECT_EQ(calls, (std::vector<int>{100, 200}));
  EXPECT_EQ(shop.category->children.size(), 201u);
  EXPECT_EQ(shop.category->children[1]->title, "");  // beside the product
  EXPECT_EQ(shop.prompter.shown.back().text, "200 record(s) have been imported.");
}

TEST(ProductImportTest, AwkwardFilesReadSafely) {
  TestHome home;
  EXPECT_TRUE(ReadDataFile((home / "missing.csv").string())->records.empty());
  home.Write("empty.csv", "");
  home.Write("blank.csv", "\n\r\n\n");
  for (const char* name : {"empty.csv", "blank.csv"}) {
    auto data = ReadDataFile((home / name).string());
    ASSERT_TRUE(data.ok());
    Shop shop;
    data->columns[0] = ImportTarget::Title;
    EXPECT_EQ(*shop.Import(*data), 0);
    EXPECT_EQ(shop.prompter.shown.back().text, "0 record(s) have been imported.");
  }
  // A line over the piece size: nothing is read, with a message naming the line.
  home.Write("long.csv", "a\nb\n" + std::string(kImportPieceSize + 1, 'x'));
  auto tooLong = ReadDataFile((home / "long.csv").string());
  ASSERT_FALSE(tooLong.ok());
  EXPECT_EQ(tooLong.status().message(),
            "Line 3 of the data file is longer than 40000 bytes; nothing was read.");
  // NUL bytes and 10,000 columns: read as bytes, split, imported without harm.
  std::string wide;
  for (int i = 0; i < 10000; ++i) wide += std::to_string(i % 10) + ";";
  home.Write("odd.csv", std::string("N\0L;1\n", 6) + wide + "\n");
  auto odd = ReadDataFile((home / "odd.csv").string());
  ASSERT_TRUE(odd.ok());
  EXPECT_EQ(ColumnCount(*odd), 10001u);
  odd->columns[0] = ImportTarget::Title;
  odd->columns[25] = ImportTarget::Cost;
  Shop shop;
  EXPECT_EQ(*shop.Import(*odd), 2);
  EXPECT_EQ(shop.category->children[0]->title, std::string("N\0L", 3));
  EXPECT_EQ(shop.category->children[1]->cost, "5");
}

TEST(ProductImportTest, OverlongValuesStillReadBackAsOneLine) {
  // A record of almost 40000 bytes in one field would give a project-file line
  // longer than its reader takes; the imported value is cut to fit instead.
  std::string body(39990, 'b');
  body.replace(39920, 10, "COST=66666");  // would become a line of its own if split
  ImportData data;
  data.records = {"Long," + body, "Breaks,\"" + std::string(13400, '\r') + "x\""};
  data.columns[0] = ImportTarget::Title;
  data.columns[1] = ImportTarget::Description;
  Shop shop;
  ASSERT_EQ(*shop.Import(data), 2);
  const StoreNode& long1 = *shop.category->children[0];
  EXPECT_EQ(long1.body.size(), kMaxImportedValue);
  EXPECT_EQ(shop.category->children[1]->body.size(), kMaxImportedValue / 3);
  StoreProject loaded;
  ReadProjectText(loaded, ProjectFileText(shop.project, 0, 2034361), nullptr, false);
  const StoreNode& back = *RootNode(loaded)->children.at(0);
  EXPECT_EQ(back.body + "|" + back.cost, long1.body + "|");
}

}  // namespace
}  // namespace tolmi

// Product import: records, delimiter detection, splitting, value treatments, Import and Update.
#include <gtest/gtest.h>

#include "../support/FakePrompter.h"
#include "project/ProductImport.h"
#include "project/TreeEditing.h"

namespace tolmi {
namespace {

using Fields = std::vector<std::string>;

TEST(ProductImportTest, CutsLinesDropsCrAndSkipsEmptyLines) {
  auto records = CutRecords("a,b\r\n\r\n\nc\nd\r\n");
  ASSERT_TRUE(records.ok());
  EXPECT_EQ(*records, (Fields{"a,b", "c", "d"}));
  EXPECT_TRUE(CutRecords("")->empty());
  auto nul = CutRecords(std::string("x\0y\n", 4));
  ASSERT_TRUE(nul.ok());
  EXPECT_EQ((*nul)[0], std::string("x\0y", 3));
  auto tooLong = CutRecords("ok\n" + std::string(40001, 'a') + "\n");
  ASSERT_FALSE(tooLong.ok());
  EXPECT_EQ(tooLong.status().message(),
            "Line 2 of the data file is longer than 40000 bytes; nothing was read.");
  EXPECT_TRUE(CutRecords(std::string(40000, 'a')).ok());
}

TEST(ProductImportTest, QuotedLineBreaksStayInTheirRecord) {
  const struct {
    std::string bytes;
    Fields records;
  } kCases[] = {
      {"a,\"one\r\ntwo\",3\nb,c\n", {"a,\"one\ntwo\",3", "b,c"}},
      {"\"x\"\"\ny\";1\n", {"\"x\"\"\ny\";1"}},  // "" inside stays open
      {"a,\"\",\"b\nc\"\n", {"a,\"\",\"b\nc\""}},    // an empty field then a break
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
  auto records = CutRecords(far + "\"\n");
  ASSERT_TRUE(records.ok());
  EXPECT_EQ(records->size(), 4003u);
  ImportSettings s;
  EXPECT_EQ(SplitRecord(CutRecords("a,\"one\ntwo\",3\n")->front(), s),
            (Fields{"a", "one\ntwo", "3"}));
}

TEST(ProductImportTest, DelimiterNeedsAStrictWinner) {
  EXPECT_EQ(DetectDelimiter({"a,b,c,d;e;f;g;h;i", "a,b,c,d;e;f;g;h;i"}, ','), ';');
  EXPECT_EQ(DetectDelimiter({"a,b;c"}, ','), ',');
  EXPECT_EQ(DetectDelimiter({"a,b;c"}, '|'), '|');
  EXPECT_EQ(DetectDelimiter({"\"a;b;c\"|d|e"}, ','), '|');  // quoted semicolons do not count
  EXPECT_EQ(DetectDelimiter({}, ','), ',');
  // Only the first ten records count.
  std::vector<std::string> records(10, "a|b");
  records.push_back("a;b;c;d;e;f;g;h;i;j;k;l;m;n;o;p;q;r;s;t;u");
  EXPECT_EQ(DetectDelimiter(records, ','), '|');
}

TEST(ProductImportTest, SplitsQuotedFields) {
  ImportSettings s;
  EXPECT_EQ(SplitRecord("Shirt,\"Red, large\",12.50", s), (Fields{"Shirt", "Red, large", "12.50"}));
  EXPECT_EQ(SplitRecord("\"say \"\"hi\"\"\",x", s), (Fields{"say \"hi\"", "x"}));
  EXPECT_EQ(SplitRecord("  a,\tb, ,", s), (Fields{"a", "b", "", ""}));
  // An unbalanced quote runs to the end of the line.
  EXPECT_EQ(SplitRecord("a,\"open, still", s), (Fields{"a", "open, still"}));
  EXPECT_EQ(SplitRecord("\"", s), (Fields{""}));
  // A separate escape character.
  s.escape = "\\";
  EXPECT_EQ(SplitRecord("\"a\\\"b\",c", s), (Fields{"a\"b", "c"}));
  // Without a quote character quotes are plain text.
  ImportSettings plain;
  plain.quote = "";
  EXPECT_EQ(SplitRecord("\"a,b\"", plain), (Fields{"\"a", "b\""}));
}

TEST(ProductImportTest, ManyColumnsAndHeaders) {
  ImportData data;
  std::string wide;
  for (int i = 0; i < 10000; ++i) wide += "x,";
  data.records = {wide, "a"};
  EXPECT_EQ(ColumnCount(data), 10001u);
  data.columns[0] = ImportTarget::Title;
  data.columns[3] = ImportTarget::Label6;
  EXPECT_EQ(ColumnHeader(data, 0), "Title");
  EXPECT_EQ(ColumnHeader(data, 1), "???");
  EXPECT_EQ(ColumnHeader(data, 3), "Label 6");
  EXPECT_EQ(ColumnHeader(data, 9999), "???");
  EXPECT_EQ(TargetFromName("product code"), ImportTarget::ProductCode);
  EXPECT_EQ(TargetFromName("Field 2"), ImportTarget::Field2);
  EXPECT_EQ(TargetFromName("Label3"), ImportTarget::Label3);
  EXPECT_EQ(TargetFromName("Colour"), std::nullopt);
  EXPECT_EQ(TargetFromName("Field7"), std::nullopt);
}

TEST(ProductImportTest, NumberAndUserTextTreatments) {
  EXPECT_EQ(NumberValue("$1,250.00", "."), "1250.00");
  EXPECT_EQ(NumberValue("12,50", ","), "12.50");
  EXPECT_EQ(NumberValue("EUR 1.250,00", ","), "1.250.00");  // thousands dots are kept as read
  EXPECT_EQ(NumberValue("n/a", ""), "");
  EXPECT_EQ(UserTextValue("3,5 kg", ","), "3.5 kg");
  EXPECT_EQ(UserTextValue(",5 kg", ","), ".5 kg");
  EXPECT_EQ(UserTextValue("Red, large", ","), "Red, large");
  EXPECT_EQ(UserTextValue("3,5 kg", "."), "3,5 kg");
  EXPECT_EQ(ImportProgressText(100, 250), "100/250 Records imported.");
}

struct Shop {
  StoreProject project;
  std::uint32_t serial = 40;
  test::FakePrompter prompter;
  StoreNode* category = nullptr;
  Shop() {
    auto cat = CreateNode();
    cat->title = "Wine";
    cat->file = "42.htm";  // taken: imported files must avoid it
    cat->labels[1] = "Vintage";
    category = AppendNode(project, nullptr, std::move(cat));
    project.selected = category;
  }
};

TEST(ProductImportTest, ImportsARealWorldFile) {
  Shop shop;
  ImportData data;
  data.records = *CutRecords(
      "Red;\"Merlot; \"\"old\"\"\";EUR 12,50;2011,5\r\n"
      "White;Riesling;9;x\r\n");
  data.settings.delimiter = DetectDelimiter(data.records, ',');
  ASSERT_EQ(data.settings.delimiter, ';');
  data.settings.decimalPoint = ",";
  data.columns[1] = ImportTarget::Title;
  data.columns[2] = ImportTarget::Cost;
  data.columns[3] = ImportTarget::Label1;
  auto count = ImportProducts(shop.project, shop.serial, data, {0, 1}, shop.prompter);
  ASSERT_TRUE(count.ok());
  EXPECT_EQ(*count, 2);
  ASSERT_EQ(shop.category->children.size(), 2u);
  const StoreNode& first = *shop.category->children[0];
  EXPECT_EQ(first.kind, NodeKind::Product);
  EXPECT_EQ(first.title, "Merlot; \"old\"");
  EXPECT_EQ(first.cost, "12.50");
  EXPECT_EQ(first.serial, 41u);
  EXPECT_EQ(first.code, "41");
  EXPECT_EQ(first.file, "41.htm");
  EXPECT_EQ(first.labels[0], "2011.5");
  EXPECT_EQ(first.labels[1], "Vintage");  // copied from the selected node
  const StoreNode& second = *shop.category->children[1];
  EXPECT_EQ(second.code, "42");
  EXPECT_EQ(second.file, "42(1).htm");
  EXPECT_EQ(second.labels[0], "x");
  EXPECT_TRUE(shop.project.changed);
  ASSERT_EQ(shop.prompter.shown.size(), 1u);
  EXPECT_EQ(shop.prompter.shown[0].text, "2 record(s) have been imported.");
  EXPECT_EQ(shop.prompter.shown[0].title, "Import Complete");
}

TEST(ProductImportTest, ImportWithoutTitleColumnIsRefused) {
  Shop shop;
  ImportData data;
  data.records = {"a,b"};
  data.columns[0] = ImportTarget::Cost;
  auto count = ImportProducts(shop.project, shop.serial, data, {0}, shop.prompter);
  EXPECT_FALSE(count.ok());
  ASSERT_EQ(shop.prompter.shown.size(), 1u);
  EXPECT_EQ(shop.prompter.shown[0].text,
            "When importing new items, the title must be defined.\r\nTo define a title, click on "
            "the appropriate column and select \"Title\" from the menu.");
  EXPECT_EQ(shop.prompter.shown[0].title, "Import Error");
  EXPECT_TRUE(shop.category->children.empty());
  EXPECT_EQ(shop.serial, 40u);
}

TEST(ProductImportTest, ProductsGoBesideASelectedProductAndCancelStops) {
  Shop shop;
  std::uint32_t serial = 0;
  TreeEditor editor(shop.project, serial);
  StoreNode* product = editor.NewNode(NodeKind::Product);
  ASSERT_EQ(product->parent, shop.category);
  ImportData data;
  for (int i = 0; i < 250; ++i) data.records.push_back("P" + std::to_string(i));
  data.columns[0] = ImportTarget::Title;
  data.columns[5] = ImportTarget::Title;  // the right one wins, empty here
  std::vector<std::size_t> all;
  for (std::size_t i = 0; i < 250; ++i) all.push_back(i);
  std::vector<int> calls;
  auto count =
      ImportProducts(shop.project, shop.serial, data, all, shop.prompter, [&](int done, int total) {
        EXPECT_EQ(total, 250);
        calls.push_back(done);
        return done < 200;
      });
  ASSERT_TRUE(count.ok());
  EXPECT_EQ(*count, 200);
  EXPECT_EQ(calls, (std::vector<int>{100, 200}));
  EXPECT_EQ(shop.category->children.size(), 201u);
  EXPECT_EQ(shop.category->children[1]->title, "");
  EXPECT_EQ(shop.prompter.shown.back().text, "200 record(s) have been imported.");
}

TEST(ProductImportTest, NothingSelectedImportsNothing) {
  Shop shop;
  shop.project.selected = nullptr;
  ImportData data;
  data.records = {"a"};
  data.columns[0] = ImportTarget::Title;
  auto count = ImportProducts(shop.project, shop.serial, data, {0}, shop.prompter);
  ASSERT_TRUE(count.ok());
  EXPECT_EQ(*count, 0);
  EXPECT_EQ(CountNodes(shop.project), 1u);
}

TEST(ProductImportTest, UpdateTouchesOnlyTheFirstProductWithTheCode) {
  Shop shop;
  auto add = [&](StoreNode* parent, std::string code) {
    auto n = CreateNode();
    n->kind = NodeKind::Product;
    n->code = std::move(code);
    n->cost = "1";
    return AppendNode(shop.project, parent, std::move(n));
  };
  StoreNode* first = add(shop.category, "A1");
  StoreNode* second = add(shop.category, "A1");
  ImportData data;
  data.records = {"A1,\"$1,999.95\"", "B2,5", ",7"};
  data.columns[0] = ImportTarget::ProductCode;
  data.columns[1] = ImportTarget::Cost;
  auto count = UpdateProducts(shop.project, data, {0, 1, 2}, shop.prompter);
  ASSERT_TRUE(count.ok());
  EXPECT_EQ(*count, 1);
  EXPECT_EQ(first->cost, "1999.95");
  EXPECT_EQ(second->cost, "1");
  EXPECT_EQ(shop.category->cost, "");  // an empty code cell matches nothing
  EXPECT_EQ(shop.prompter.shown.back().text, "1 record(s) have been updated.");
  EXPECT_EQ(shop.prompter.shown.back().title, "Update Complete");

  data.columns[0] = ImportTarget::None;
  EXPECT_FALSE(UpdateProducts(shop.project, data, {0}, shop.prompter).ok());
  EXPECT_EQ(shop.prompter.shown.back().text,
            "An update operation requires a Product Code field to be defined.");
  EXPECT_EQ(shop.prompter.shown.back().title, "Import Error");
}

TEST(ProductImportTest, UnreadableFileGivesAnEmptyList) {
  auto data = ReadDataFile("/nonexistent/tolmi/data.csv");
  ASSERT_TRUE(data.ok());
  EXPECT_TRUE(data->records.empty());
}

}  // namespace
}  // namespace tolmi

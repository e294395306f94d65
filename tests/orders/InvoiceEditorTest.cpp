#include "orders/InvoiceEditor.h"

#include <gtest/gtest.h>

#include "tests/support/TestHome.h"

namespace tolmi {
namespace {

// Three templates A, B, C; only B has a factory copy.
struct Editor : ::testing::Test {
  test::TestHome home;
  InvoiceTemplateList list;
  void SetUp() override {
    for (const char* name : {"A", "B", "C"})
      home.Write(std::string("template/Invoices/") + name + ".html", name);
    home.Write("template/Invoices/default/B.html", "factory B");
    list = LoadInvoiceTemplateList(home.path().string());
  }
};

TEST_F(Editor, DeleteAsksInListOrderAndStopsAtTheFirstYes) {
  struct Case {
    std::vector<std::size_t> indexes;
    std::vector<bool> answers;
    std::vector<std::string> asked, left;
    std::optional<std::size_t> select;
  };
  const std::string q = "The Invoice template '";
  const std::string tail = ".html' will be permanently deleted. Do you wish to proceed?";
  const Case cases[] = {
      {{2, 0, 1}, {false, true, true}, {q + "A" + tail, q + "B" + tail}, {"A", "C"}, 1},
      {{2}, {true}, {q + "C" + tail}, {"A", "B"}, 1},
      {{0, 1}, {false, false}, {q + "A" + tail, q + "B" + tail}, {"A", "B", "C"}, std::nullopt},
      {{7}, {}, {}, {"A", "B", "C"}, std::nullopt},
  };
  for (const Case& c : cases) {
    SetUp();
    std::vector<std::string> asked;
    std::size_t next = 0;
    const InvoiceDeleteResult r =
        DeleteInvoiceTemplates(list, c.indexes, [&](const std::string& question) {
          asked.push_back(question);
          return c.answers.at(next++);
        });
    EXPECT_EQ(asked, c.asked);
    std::vector<std::string> left;
    for (const auto& t : list.templates) left.push_back(t.name);
    EXPECT_EQ(left, c.left);
    EXPECT_EQ(r.deleted, left.size() < 3);
    EXPECT_EQ(r.select, c.select);
    EXPECT_EQ(std::filesystem::exists(home / "template/Invoices/B.html"),
              std::find(left.begin(), left.end(), "B") != left.end());
  }
}

TEST_F(Editor, CommandsNeedASelectionAndRestoreAFactoryCopy) {
  using C = InvoiceEditorCommand;
  for (C c : {C::Preview, C::Rename, C::Delete, C::LoadFromFile, C::RestoreDefault})
    EXPECT_FALSE(InvoiceEditorCommandEnabled(c, list, std::nullopt));
  EXPECT_TRUE(InvoiceEditorCommandEnabled(C::New, list, std::nullopt));
  EXPECT_TRUE(InvoiceEditorCommandEnabled(C::Delete, list, 0));
  EXPECT_FALSE(InvoiceEditorCommandEnabled(C::RestoreDefault, list, 0));
  EXPECT_TRUE(InvoiceEditorCommandEnabled(C::RestoreDefault, list, 1));
  EXPECT_FALSE(InvoiceEditorCommandEnabled(C::Rename, list, 3));
  InvoiceTemplateList empty;
  EXPECT_FALSE(InvoiceEditorCommandEnabled(C::SelectAll, empty, std::nullopt));
}

TEST_F(Editor, EditsBeyondTheLimitAreRefusedButALongTextMayShrink) {
  const std::string full(kInvoiceTemplateMaxBytes, 'x');
  EXPECT_TRUE(EditInvoiceTemplateText(list, 0, full));
  EXPECT_FALSE(EditInvoiceTemplateText(list, 0, full + "y"));
  EXPECT_EQ(list.templates[0].text->size(), kInvoiceTemplateMaxBytes);
  list.templates[1].text = std::string(kInvoiceTemplateMaxBytes + 10, 'z');
  EXPECT_TRUE(EditInvoiceTemplateText(list, 1, std::string(kInvoiceTemplateMaxBytes + 5, 'z')));
  EXPECT_TRUE(list.templates[1].modified);
}

TEST(InvoiceOrders, ListSelectionOrdersElseTheShownOrder) {
  std::vector<OrderRecord> records;
  records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
  OrderRecord a, b;
  a.name = "1";
  b.name = "2";
  records[0].children = {a, b};
  const auto uidA = records[0].children[0].uid, uidB = records[0].children[1].uid;
  const auto folder = records[0].uid;
  auto names = [](const std::vector<const OrderRecord*>& v) {
    std::string s;
    for (const auto* r : v) s += r->name;
    return s;
  };
  EXPECT_EQ(names(InvoiceOrders(records, {uidB, folder, uidA}, uidA)), "21");
  EXPECT_EQ(names(InvoiceOrders(records, {folder}, uidB)), "2");
  EXPECT_EQ(names(InvoiceOrders(records, {}, folder)), "");
}

}  // namespace
}  // namespace tolmi

#include "orders/Invoices.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "orders/InvoiceEditor.h"
#include "project/StoreProject.h"
#include "tests/support/TestHome.h"

namespace tolmi {
namespace {

OrderRecord SampleOrder() {
  OrderRecord o;
  o.name = "1005";
  o.orderId = "AB-12-3";
  o.orderDate = 1000;
  AppendField(o, "Name", "Ann");
  AppendField(o, "Zip", "4000");
  AppendField(o, "Amount", "21.5");
  AppendField(o, "Tax", "1.5");
  AppendField(o, "CardExpiryMonth", "7");
  AppendField(o, "CardExpiryYear", "2026");
  o.freightCents = 300;
  OrderItem shirt;
  shirt.name = "Shirt";
  shirt.option1 = "Large";
  shirt.option2 = "Red";
  shirt.code = "S1";
  shirt.quantity = 2;
  shirt.unitCents = 425;
  o.items.push_back(shirt);
  OrderItem mug;
  mug.name = "Mug";
  mug.option1 = "Blue";
  mug.quantity = 1;
  mug.unitCents = 1000;
  o.items.push_back(mug);
  OrderItem freightRow;
  freightRow.rowKind = RowKind::Freight;
  freightRow.name = "Freight";
  o.items.push_back(freightRow);
  return o;
}

InvoiceSettings Settings(const StoreProject* project) {
  InvoiceSettings s;
  s.project = project;
  s.accountFields = {"acct1", "", "", "", ""};
  s.formatDate = [](std::time_t t) { return "D" + std::to_string(t); };
  s.now = 2000;
  return s;
}

TEST(Invoices, FillsLoopPlaceholdersTotalsAndPercentRuns) {
  StoreProject project;
  project.settings.currency = "EUR";
  project.variables.push_back({"$COMPANY", "Acme"});
  const std::string tmpl =
      "<title>$TITLE</title>\n"
      "<p>$COMPANY, $STREET</p>\n"
      "<table width=100%>\n"
      "<LOOP><tr><td>%QTY%</td><td>%ITEM%</td><td>%CODE%</td><td>$CURRENCY%PRICE%</td>"
      "<td>%QTY%</td></tr>\n</loop></table>\n"
      "<p>%name% %POSTCODE% %ZIP% %Unknown%</p>\n"
      "<p>50% off, then 100% back</p>\n"
      "<p>%FREIGHT% %FREIGHTTAX% %SUBTOTAL% %TOTALTAX% %TOTAL% $TOTAL $DCC</p>\n"
      "<p>%ORDERID% %INVOICENUMBER% %ORDERDATE% %DATE% $DATE</p>\n"
      "<p>$FIELD1 $MM2/$MM $YY $YEAR</p>\n";
  EXPECT_EQ(FillInvoice(tmpl, "Invoice", SampleOrder(), Settings(&project)),
            "<title>Invoice</title>\n"
            "<p>Acme, </p>\n"
            "<table width=100%>\n"
            "<tr><td>2</td><td>Shirt (Large, Red)</td><td>S1</td><td>EUR8.50</td><td></td></tr>\n"
            "<tr><td>1</td><td>Mug (Blue)</td><td></td><td>EUR10.00</td><td></td></tr>\n"
            "</table>\n"
            "<p>Ann 4000 4000 </p>\n"
            "<p>50 back</p>\n"
            "<p>3.00 0.00 20.00 1.50 21.50 21.50 2150</p>\n"
            "<p>AB012-3 1005 D1000 D2000 D2000</p>\n"
            "<p>acct1 07/7 26 2026</p>\n");

  // No "</LOOP>": nothing repeats and the lone tag stays. A "Total" field fills %TOTAL% first.
  OrderRecord o = SampleOrder();
  AppendField(o, "Total", "19.9");
  AppendField(o, "CardExpiryMonth", "ignored: the first match wins");
  AppendField(o, "FreightTax", "0.30");
  o.fields[4].value = "07";
  EXPECT_EQ(FillInvoice("<LOOP><td>%QTY%</td> %TOTAL% %FREIGHTTAX% $MM2 $MM $YY", "I", o,
                        Settings(nullptr)),
            "<LOOP><td></td> 19.9 0.30 07 7 26");

  // No order data at all: an empty loop and zero totals.
  EXPECT_EQ(FillInvoice("[<LOOP>%ITEM%</LOOP>] %TOTAL% $DCC $MM2 $YY|%ORDERID%|", "I",
                        OrderRecord{}, Settings(nullptr)),
            "[] 0.00 000 00 ||");
}

TEST(Invoices, CustomerValuesAreEscapedInPagesAndEncodedInRequests) {
  OrderRecord o;
  o.name = "7";
  AppendField(o, "Name", "<script>alert('x')</script>");
  AppendField(o, "Email", "%Name% $FIELD1 & 50%");
  AppendField(o, "CardExpiryYear", "<i>26");
  AppendField(o, "", "nameless");  // "%%" is no placeholder
  OrderItem item;
  item.name = "<b>Mug</b>";
  item.option2 = "a&b";
  item.code = "\"c\"";
  item.quantity = 1;
  o.items.push_back(item);
  InvoiceSettings settings = Settings(nullptr);
  settings.accountFields[0] = "SECRET";
  EXPECT_EQ(
      FillInvoice("%Name%|%Email%|<LOOP>%ITEM%/%CODE%</LOOP>|$YEAR|$FIELD1%%", "I", o, settings),
      "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;|"
      "&#37;Name&#37; &#36;FIELD1 &amp; 50&#37;|"
      "&lt;b&gt;Mug&lt;/b&gt; (a&amp;b)/&quot;c&quot;|&lt;i&gt;26|SECRET");

  std::string request = "n=%Name%&e=%EMAIL%&y=$YEAR&a=$FIELD1";
  SubstituteOrderPlaceholders(request, o, settings, PlaceholderValues::Form);
  EXPECT_EQ(request,
            "n=%3Cscript%3Ealert%28%27x%27%29%3C%2Fscript%3E&e=%25Name%25+%24FIELD1+%26+50%25"
            "&y=<i>26&a=SECRET");
  std::string posted = "%Name%";
  SubstituteOrderPlaceholders(posted, o, settings, PlaceholderValues::Raw);
  EXPECT_EQ(posted, "<script>alert('x')</script>");
}

class InvoiceTemplates : public ::testing::Test {
 protected:
  void SetUp() override {
    home.Write("template/Invoices/Invoice.html", "inv");
    home.Write("template/Invoices/Bill.html", "bill");
    home.Write("template/Invoices/notes.txt", "not a template");
    home.Write("template/Invoices/default/Invoice.html", "factory");
    list = LoadInvoiceTemplateList(home.path().string());
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& t : list.templates) names.push_back(t.name);
    return names;
  }
  test::TestHome home;
  InvoiceTemplateList list;
};

TEST_F(InvoiceTemplates, ListNewRenameDelete) {
  EXPECT_EQ(Names(), (std::vector<std::string>{"Bill", "Invoice"}));
  EXPECT_FALSE(list.templates[0].text.has_value());  // read lazily
  ASSERT_TRUE(LoadInvoiceTemplateText(list, 0));
  EXPECT_EQ(*list.templates[0].text, "bill");

  Result<std::size_t> a = NewInvoiceTemplate(list);
  ASSERT_TRUE(a.ok());
  Result<std::size_t> b = NewInvoiceTemplate(list);
  ASSERT_TRUE(b.ok());
  EXPECT_EQ(Names(),
            (std::vector<std::string>{"Bill", "Invoice", "New Invoice", "New Invoice(1)"}));
  EXPECT_EQ(home.Read("template/Invoices/New Invoice.html"), "");

  // Renaming onto an existing template, to an empty name or through a path fails and
  // leaves both files as they were.
  for (const char* bad : {"Invoice", "", "../escape", "a/b"}) {
    Status s = RenameInvoiceTemplate(list, *a, bad);
    EXPECT_FALSE(s.ok()) << bad;
    EXPECT_EQ(s.message(), kInvoiceRenameError);
  }
  EXPECT_EQ(home.Read("template/Invoices/Invoice.html"), "inv");
  EXPECT_EQ(list.templates[*a].name, "New Invoice");
  ASSERT_TRUE(RenameInvoiceTemplate(list, *a, "Receipt").ok());
  EXPECT_TRUE(std::filesystem::exists(home / "template/Invoices/Receipt.html"));
  EXPECT_FALSE(std::filesystem::exists(home / "template/Invoices/New Invoice.html"));

  EXPECT_EQ(DeleteInvoiceTemplate(list, 3), std::optional<std::size_t>(2));  // the previous
  EXPECT_EQ(DeleteInvoiceTemplate(list, 0), std::optional<std::size_t>(0));  // the next
  EXPECT_FALSE(std::filesystem::exists(home / "template/Invoices/Bill.html"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"Invoice", "Receipt"}));
  EXPECT_EQ(DeleteInvoiceTemplate(list, 1), std::optional<std::size_t>(0));
  EXPECT_EQ(DeleteInvoiceTemplate(list, 0), std::nullopt);
  EXPECT_EQ(DeleteInvoiceTemplate(list, 0), std::nullopt);  // nothing left: no failure
}

TEST_F(InvoiceTemplates, EditWriteBackRestoreAndLoad) {
  std::size_t inv = *FindInvoiceTemplate(list, "Invoice");
  std::size_t bill = *FindInvoiceTemplate(list, "Bill");
  EXPECT_TRUE(HasDefaultInvoiceTemplate(list, inv));
  EXPECT_FALSE(HasDefaultInvoiceTemplate(list, bill));
  EXPECT_EQ(RestoreDefaultInvoiceTemplate(list, bill).kind(), ErrorKind::NotFound);

  SetInvoiceTemplateText(list, inv, "edited");
  EXPECT_EQ(home.Read("template/Invoices/Invoice.html"), "inv");  // not yet written
  ASSERT_TRUE(WriteBackInvoiceTemplates(list).ok());
  EXPECT_FALSE(list.templates[inv].modified);
  EXPECT_EQ(home.Read("template/Invoices/Invoice.html"), "edited");

  ASSERT_TRUE(RestoreDefaultInvoiceTemplate(list, inv).ok());
  EXPECT_EQ(home.Read("template/Invoices/Invoice.html"), "factory");
  EXPECT_EQ(*list.templates[inv].text, "factory");

  home.Write("mine.htm", "<p>%Name%</p>");
  EXPECT_EQ(LoadInvoiceTemplateFromFile(list, bill, (home / "missing.htm").string()).kind(),
            ErrorKind::NotFound);
  ASSERT_TRUE(LoadInvoiceTemplateFromFile(list, bill, (home / "mine.htm").string()).ok());
  EXPECT_TRUE(list.templates[bill].modified);

  // A template whose file cannot be written stays modified for the next try.
  std::filesystem::remove(home / "template/Invoices/Bill.html");
  std::filesystem::create_directories(home / "template/Invoices/Bill.html/blocker");
  EXPECT_FALSE(WriteBackInvoiceTemplates(list).ok());
  EXPECT_TRUE(list.templates[bill].modified);
  std::filesystem::remove_all(home / "template/Invoices/Bill.html");
  ASSERT_TRUE(WriteBackInvoiceTemplates(list).ok());
  EXPECT_EQ(home.Read("template/Invoices/Bill.html"), "<p>%Name%</p>");
}

TEST_F(InvoiceTemplates, GenerateWritesThePageOrReportsI108) {
  const std::string dir = home.path().string();
  SetInvoiceTemplateText(list, 0, "<h1>$TITLE %INVOICENUMBER%</h1>%Name%");
  OrderRecord o = SampleOrder();
  std::string out = InvoiceOutputPath(dir, o.name, list.templates[0].name);
  EXPECT_EQ(out, dir + "/Invoices/1005_Bill.html");
  ASSERT_TRUE(GenerateInvoice(list, 0, o, Settings(nullptr), out).ok());
  EXPECT_EQ(home.Read("Invoices/1005_Bill.html"), "<h1>Bill 1005</h1>Ann");
  EXPECT_EQ(InvoiceOutputPath(dir, "../../x", "a/b"), dir + "/Invoices/....x_ab.html");

  Status s = GenerateInvoice(list, 0, o, Settings(nullptr), dir + "/Invoices/1005_Bill.html/x");
  EXPECT_EQ(s.kind(), ErrorKind::Io);
  EXPECT_EQ(s.message(), "ERROR I108: Unable to write temporary Invoice file ");

  // A template that cannot be read writes nothing.
  std::filesystem::remove(home / "template/Invoices/Invoice.html");
  EXPECT_EQ(GenerateInvoice(list, 1, o, Settings(nullptr), dir + "/Invoices/y.html").kind(),
            ErrorKind::NotFound);
  EXPECT_FALSE(std::filesystem::exists(home / "Invoices/y.html"));
}

TEST_F(InvoiceTemplates, DeleteAsksInListOrderAndStopsAtTheFirstYes) {
  struct Case {
    std::vector<std::size_t> indexes;
    std::vector<bool> answers;
    std::vector<std::string> asked, left;
    std::optional<std::size_t> select;
  };
  auto ask = [](const std::string& name) {
    return "The Invoice template '" + name +
           ".html' will be permanently deleted. Do you wish to proceed?";
  };
  const Case cases[] = {
      {{2, 0, 1}, {false, true, true}, {ask("Bill"), ask("Invoice")}, {"Bill", "Slip"}, 1},
      {{0, 1}, {false, false}, {ask("Bill"), ask("Invoice")}, {"Bill", "Invoice", "Slip"}, {}},
      {{7}, {}, {}, {"Bill", "Invoice", "Slip"}, {}},
      {{0, 1}, {true}, {ask("Bill")}, {"Invoice", "Slip"}, 0},  // one yes deletes one
  };
  for (const Case& c : cases) {
    SetUp();
    home.Write("template/Invoices/Slip.html", "slip");
    list = LoadInvoiceTemplateList(home.path().string());
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
    EXPECT_EQ(std::filesystem::exists(home / "template/Invoices/Invoice.html"),
              std::find(left.begin(), left.end(), "Invoice") != left.end());
  }
}

TEST_F(InvoiceTemplates, CommandsNeedASelectionAndRestoreAFactoryCopy) {
  using C = InvoiceEditorCommand;
  for (C c : {C::Preview, C::Rename, C::Delete, C::LoadFromFile, C::RestoreDefault})
    EXPECT_FALSE(InvoiceEditorCommandEnabled(c, list, std::nullopt));
  EXPECT_TRUE(InvoiceEditorCommandEnabled(C::New, list, std::nullopt));
  EXPECT_TRUE(InvoiceEditorCommandEnabled(C::Delete, list, 0));
  EXPECT_FALSE(InvoiceEditorCommandEnabled(C::RestoreDefault, list, 0));
  EXPECT_TRUE(InvoiceEditorCommandEnabled(C::RestoreDefault, list, 1));
  EXPECT_FALSE(InvoiceEditorCommandEnabled(C::Rename, list, 2));
  InvoiceTemplateList empty;
  EXPECT_FALSE(InvoiceEditorCommandEnabled(C::SelectAll, empty, std::nullopt));
}

TEST_F(InvoiceTemplates, EditsBeyondTheLimitAreRefusedButALongTextMayShrink) {
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

#include "builder/Pages.h"

#include <gtest/gtest.h>

#include "builder/BuildDriver.h"
#include "builder/Freight.h"
#include "builder/OrderForm.h"
#include "builder/StoreIndex.h"
#include "tests/builder/BuilderFixture.h"

namespace tolmi::test {
namespace {

class PagesTest : public BuilderTest {};

const std::string kRowStart = "<tr><td valign=top width=5%>";

std::string Row(const std::string& bullet, const std::string& cls, const std::string& link,
                const std::string& item, const std::string& tail = "") {
  return kRowStart + "<img src=\"" + bullet + "\"></td><td class=" + cls + "><a href=\"" + link +
         "\">" + item + "</a>" + tail + "</td></tr>\n";
}

TEST_F(PagesTest, IndexRowForms) {
  EXPECT_EQ(IndexRow(*session, "bo.gif", "Shop/A.HTM", "Item", 1, 1),
            Row("bo.gif", "b", "Shop/a.htm", "Item", "$SUBINDEX"));
  EXPECT_EQ(
      IndexRow(*session, "<b>*</b>", "A.htm", "I", 2, 2),
      kRowStart + "<b>*</b></td><td class=pl><a href=\"a.htm\">I</a><br>$SUBINDEX</td></tr>\n");
  project.settings.hasBullets = false;
  EXPECT_EQ(
      IndexRow(*session, "x.gif", "http://a/b", "Other", 0, 0, true),
      kRowStart + "</td><td class=m><a href=\"http://a/b\" target=_blank>Other</a></td></tr>\n");
}

TEST_F(PagesTest, NavigationIndexBothStyles) {
  StoreNode& homeNode = Add(nullptr, NodeKind::Category, "Home", "home.htm");
  StoreNode& a = Add(&homeNode, NodeKind::Product, "A", "a.htm");
  Add(&homeNode, NodeKind::Product, "B", "b.htm");
  const std::string sub = "<table class=mb width=100%>" + Row("bo.gif", "b", "a.htm", "A") +
                          Row("bg.gif", "m", "b.htm", "B") + "</table>";
  std::string text = "$INDEX|$SUBINDEX|$BACK";
  ++session->visitMark;
  NavigationIndex(*session, text, a, a);
  EXPECT_EQ(text, "<table width=100%>" + Row("bf.gif", "b", "home.htm", "Home") + "</table>\n|" +
                      sub + "|home.htm");
  project.settings.navStyle = 1;
  text = "$INDEX";
  ++session->visitMark;
  NavigationIndex(*session, text, a, a);
  EXPECT_EQ(text, "<table width=100% class=mi>" +
                      Row("bf.gif", "m", "home.htm", "Home", "<br>" + sub) + "</table>\n");
}

TEST_F(PagesTest, CategoryListsSplitAndHide) {
  StoreNode& cat = Add(nullptr, NodeKind::Category, "Cat", "cat.htm");
  for (int i = 1; i <= 5; ++i)
    Add(&cat, NodeKind::Product, "P" + std::to_string(i), "p" + std::to_string(i) + ".htm");
  std::string text = "%categorylist2%";
  CategoryLists(*session, text, cat);
  std::string expected =
      "<table width=100% border=0 cellspacing=1><tr><td valign=top><font size=-1>";
  for (int i = 1; i <= 5; ++i) {
    if (i == 4) expected += "</td><td valign=top><font size=-1>";
    expected += "<img src=\"bg.gif\" align=top> <a href=\"p" + std::to_string(i) + ".htm\">P" +
                std::to_string(i) + "</a><br>\n";
  }
  EXPECT_EQ(text, expected + "</td></tr></table>\n");
  cat.children[0]->status = -1;
  cat.children[1]->status = -2;
  text = "%CategoryList%";
  CategoryLists(*session, text, cat);
  std::string one = "<table>";
  for (int i : {1, 3, 4, 5})
    one += Row("bg.gif", "pl", "p" + std::to_string(i) + ".htm", "P" + std::to_string(i));
  EXPECT_EQ(text, one + "</table>\n");
}

TEST_F(PagesTest, CommentsGoServerIncludesStay) {
  EXPECT_EQ(RemoveComments("a<!-- note -->b<!--#include file=\"x.htm\"-->c<!-- open"),
            "ab<!--#include file=\"x.htm\"-->c<!-- open");
}

TEST_F(PagesTest, FreightTextExamples) {
  project.deliveryMethodNames = {std::string("Air"), std::string(), std::nullopt};
  FreightRegion usa;
  usa.name = "USA";
  usa.taxRate = "10%";
  usa.methods[0].costs[0] = "2.50";
  usa.methods[0].costs[1] = "4.00";
  usa.methods[0].costs[10] = "9.00";
  usa.methods[0].costs[11] = "1.00";
  usa.methods[1].enabled = false;
  usa.methods[2].enabled = false;
  FreightRegion canada = usa;
  canada.name = "Canada";
  project.regions = {usa, canada};
  project.settings.freightTax = "5";
  EXPECT_EQ(FreightText(project),
            "Air(USA,Canada(10%,5f,2.50<=0.5k,4.00<=1k,9.00<=10k,9.00+1.00k>10k););");
  // Different tax rates: two groups; a rule; gaps keep their band numbers.
  project.regions[1].taxRate = "";
  project.settings.freightTax.clear();
  project.deliveryMethodNames[1] = "Fast Post";
  project.regions[0].methods[1] = FreightMethod{};
  project.regions[0].methods[1].rule = "RULE";
  project.regions[1].methods[1] = FreightMethod{};
  project.regions[1].methods[1].costs[2] = "3";
  project.regions[1].methods[1].costs[4] = "5";
  EXPECT_EQ(
      FreightText(project),
      "Air(USA(10%,2.50<=0.5k,4.00<=1k,9.00<=10k,9.00+1.00k>10k);Canada(2.50<=0.5k,4.00<="
      "1k,9.00<=10k,9.00+1.00k>10k););Fast+Post(USA(10%,RULE);Canada(0<=0.5k,3<=2k,5<=4k););");
  project.deliveryMethodNames = {};
  EXPECT_EQ(FreightText(project), "");
}

TEST_F(PagesTest, IndexLineAndHeader) {
  StoreNode& mug = Add(nullptr, NodeKind::Product, "Mug", "Shop\\Mugs.htm");
  mug.cost = "4.50";
  mug.link = "files/Mug.PDF";
  mug.desc = "Blue";
  EXPECT_EQ(IndexLine(mug), "#1|'Mug'|'4.50'|'mugs.htm'||'mug.pdf'|'Blue'|\n");
  project.settings.currency.clear();
  EXPECT_EQ(IndexHeader(project), "; Tolmi Index File\n; v2\nVERSION=2.9\nTITLE=Tea Shop\n");
  project.settings.currency = "EUR";
  project.variables.push_back({"$COUNTRY", "Ireland"});
  EXPECT_EQ(
      IndexHeader(project),
      "; Tolmi Index File\n; v2\nVERSION=2.9\nTITLE=Tea Shop\nCURRENCY=EUR\nCOUNTRY=Ireland\n");
  EXPECT_EQ(IndexForm("HTTP://X/A.gif"), "HTTP://X/A.gif");
}

TEST_F(PagesTest, OrderFormEscapesAndCards) {
  std::filesystem::create_directories(home / "web");
  home.Write("template/register.dat", "[$FORM][$CONFIRM][$FREIGHT][$MODE][$STORETITLE$CURRENCY]");
  session->orderTemplate = "<input name=\"Name\">$ACCEPTED_CARDS<!-- c -->$MESSAGE";
  session->confirmTemplate = "Thanks\r\n$CONFIRM";
  project.settings.confirmMessage = "a\r\nb";
  project.settings.orderMessage = "Hi";
  project.deliveryMethodNames = {};
  ASSERT_TRUE(WriteOrderForm(*session));
  EXPECT_EQ(home.Read("web/register.html"),
            "[<input name=%22Name%22><SELECT NAME=%22CardType%22>\n</SELECT>Hi][Thanksab][][1]"
            "[$STORETITLE$]");
  EXPECT_EQ(session->log.lines.back(), "warning: accepted credit cards list not defined");
  EXPECT_EQ(session->log.warnings, 1);
  project.cards = {{"Visa", 1}};
  session->orderTemplate = "$ACCEPTED_CARDS";
  ASSERT_TRUE(WriteOrderForm(*session));
  EXPECT_EQ(
      home.Read("web/register.html"),
      "[<SELECT NAME=%22CardType%22>\n<OPTION VALUE=%22Visa%22>Visa\n</SELECT>][Thanksab][][1]"
      "[$STORETITLE$]");
}

TEST_F(PagesTest, TaxSummary) {
  project.settings.freightTax = "5";
  EXPECT_EQ(TaxSummaryText(project.settings), std::string("5%") + kNoTaxText);
  project.settings.taxOn = true;
  project.settings.taxMethod = 1;
  EXPECT_EQ(TaxSummaryText(project.settings), std::string("5%") + kRegionTaxText);
}

}  // namespace
}  // namespace tolmi::test

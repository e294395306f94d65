#include "builder/FillTemplate.h"

#include <gtest/gtest.h>

#include "tests/builder/BuilderFixture.h"
#include "util/Strings.h"

namespace tolmi::test {
namespace {

class FillTemplateTest : public BuilderTest {};

int Count(const std::string& text, const std::string& sub) {
  int n = 0;
  for (std::size_t p = text.find(sub); p != std::string::npos; p = text.find(sub, p + 1)) ++n;
  return n;
}

TEST_F(FillTemplateTest, CountedReplacementsAndTheUpdateTime) {
  StoreNode& item = Add(nullptr, NodeKind::Page, "Home", "index1.htm");
  item.page = "T";
  std::string ten;
  for (int i = 0; i < 10; ++i) ten += "$PAGETITLE ";
  EXPECT_EQ(Fill(ten, item), "T T T T T T T T T T ");
  // "$UPDATED" is filled once in each of two steps of each pass: four of five.
  std::string five = Fill("$UPDATED|$UPDATED|$UPDATED|$UPDATED|$UPDATED", item);
  EXPECT_EQ(Count(five, "$UPDATED"), 1);
  EXPECT_EQ(five.substr(0, 18).size(), 18u);
  EXPECT_EQ(five.find("$UPDATED"), five.size() - 8);
  // Month, day, two-digit year; 1700000000 is 2023-11-14 22:13:20 UTC.
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(Fill("[$UPDATED]", item), "[11/14/23 22:13:20]");
}

TEST_F(FillTemplateTest, UserVariablesAndGlobals) {
  StoreNode& item = Add(nullptr, NodeKind::Product, "Mug", "mug.htm");
  item.cost = "4.50";
  item.code = "M1";
  project.variables.push_back({"$SALE", "$PRICE"});
  project.variables.push_back({"$ZIP", "4000"});
  EXPECT_EQ(Fill("$SALE/$POSTCODE/$USER", item), "4.50/4000/VC1000");
  project.settings.currency = "\\";
  EXPECT_EQ(Fill("$CURRENCY $CURRENCY2", item), "\\ \\\\");
  project.settings.cartOnScreen = true;
  EXPECT_EQ(Fill("$MODE$MODE", item), "00");
  project.settings.cartOnScreen = false;
  EXPECT_EQ(Fill("$MODE", item), "1");
  session->options.orderUser = "shop7";
  std::string text = "$USER";
  ApplyGlobalVariables(*session, text);
  EXPECT_EQ(text, "shop7");
}

TEST_F(FillTemplateTest, ImageDroppedWithItsTagAndPublishedPaths) {
  StoreNode& item = Add(nullptr, NodeKind::Product, "Mug", "mug.htm");
  EXPECT_EQ(Fill("<td><img src=\"$IMAGE\"></td>", item), "<td></td>");
  item.image = "Pics\\Mug.GIF";
  EXPECT_EQ(Fill("<img src=\"$IMAGE\">", item), "<img src=\"img/mug.gif\">");
  session->options.lowerCase = false;
  EXPECT_EQ(Fill("<img src=\"$IMAGE\">", item), "<img src=\"img/Mug.GIF\">");
  item.image = "http://example.com/a.gif";
  EXPECT_EQ(Fill("$IMAGE", item), "http://example.com/a.gif");
  item.link = "files/manual.pdf";
  EXPECT_EQ(Fill("<a href=\"$LINK\">x</a>", item), "<a href=\"img/manual.pdf\">x</a>");
}

// An empty value takes the tag around the variable with it, if there is one.
TEST_F(FillTemplateTest, ReplaceOrDropTagCases) {
  const std::pair<std::string, std::string> cases[] = {
      {"a $V b", "a  b"},  // no ">" after it: only the variable goes
      {"x> $V <b>", "x>  <b>"},
      {"<i>$V</i><img src=$V alt=1>z", "<i></i>z"},
      {"<p $V", "<p "},
  };
  for (auto [text, expected] : cases) {
    EXPECT_TRUE(ReplaceOrDropTag(text, "$V", "", false, false));
    EXPECT_EQ(text, expected);
  }
  std::string text = "no variable";
  EXPECT_FALSE(ReplaceOrDropTag(text, "$V", "", false, false));
}

TEST_F(FillTemplateTest, BodyRules) {
  StoreNode& shelf = Add(nullptr, NodeKind::Category, "Cat", "cat.htm");
  std::string fifty(50, 'b');
  fifty.replace(0, 3, "abc");
  shelf.body = fifty;
  StoreNode& sub = Add(&shelf, NodeKind::Category, "Sub", "sub.htm");
  StoreNode& first = Add(&sub, NodeKind::Product, "P1", "p1.htm");
  first.body = "first";
  StoreNode& second = Add(&shelf, NodeKind::Shelf, "Shelf", "s.htm");
  StoreNode& inner = Add(&second, NodeKind::Product, "P2", "p2.htm");
  inner.body = "line1\r\nline2\nline3";
  inner.status = 0;
  EXPECT_EQ(Fill("[$BODY(20)]", shelf), "[" + fifty.substr(0, 20) + "]");
  EXPECT_EQ(Fill("$BODY1|$BODY2|$BODY9", shelf), "first|line1\r\nline2\nline3|");
  project.settings.crlf = true;
  EXPECT_EQ(Fill("$BODY2", shelf), "line1<br>line2<br>line3");
}

TEST_F(FillTemplateTest, FindItemStepsIntoContainersAndPastDisabled) {
  StoreNode& cat = Add(nullptr, NodeKind::Category, "Cat", "cat.htm");
  StoreNode& shelf = Add(&cat, NodeKind::Shelf, "Shelf", "s.htm");
  StoreNode& off = Add(&shelf, NodeKind::Product, "Off", "off.htm");
  off.status = -2;
  StoreNode& on = Add(&shelf, NodeKind::Product, "On", "on.htm");
  Add(&cat, NodeKind::Category, "Empty", "e.htm");
  EXPECT_EQ(FindItem(cat, 0), nullptr);
  EXPECT_EQ(FindItem(cat, 1), &on);
  EXPECT_EQ(FindItem(cat, 2), nullptr);
  EXPECT_EQ(FindItem(cat, 3), nullptr);
  EXPECT_EQ(FindItem(cat, -4), nullptr);
}

TEST_F(FillTemplateTest, CartCallWithoutOptions) {
  StoreNode& item = Add(nullptr, NodeKind::Product, "<b>Blue Mug</b> ", "Shop\\mug.htm");
  item.code = "M'1\"";
  item.cost = "4.50";
  item.weight = "2";
  item.tax = "10%";
  item.image = "pics/Mug.gif";
  EXPECT_EQ(Fill("<a href=\"$ADD\">buy</a>", item),
            "<a href=\"javascript:addItem('Shop\\mug.htm','M1','Blue Mug','4.50','img/mug.gif',1,"
            "2,0,10,'','')\">buy</a>");
  EXPECT_EQ(Fill("$REMOVE|$REMOVE2", item), "javascript:removeItem('M'1\"')|removeItem('M'1\"')");
  EXPECT_EQ(session->log.errors, 0);
  item.code.clear();
  Fill("$ADD", item);
  EXPECT_EQ(session->log.errors, 1);  // the first pass leaves no cart call behind
  EXPECT_EQ(session->log.lines.back(), "error: Shop\\mug.htm: no product code");
}

TEST_F(FillTemplateTest, OptionScriptForProductOnShelf) {
  StoreNode& shelf = Add(nullptr, NodeKind::Shelf, "Shelf", "shelf.htm");
  StoreNode& item = Add(&shelf, NodeKind::Product, "Mug", "");
  item.code = "M1";
  item.options1 = {"Red", "Blue"};
  item.optionLabel1 = "Colour:";
  std::string text = "<form name=form$FNC>$OPTIONNAME1 $OPTION1 $OPTION2<a href=\"$ADD\">b</a>";
  ASSERT_TRUE(FillTemplate(*session, text, item, shelf, 3));
  const std::string add = "addItem('shelf.htm','M1','Mug','0.00','',1,0,0,0,option1,option2)";
  EXPECT_EQ(text,
            "<form name=form3>Colour: <SELECT NAME=\"OPTION1\"><OPTION value=\"Red\">Red<OPTION "
            "value=\"Blue\">Blue</SELECT> <INPUT NAME=OPTION2 TYPE=HIDDEN><a "
            "href=\"javascript:f3();\">b</a><SCRIPT>function f3(){var option1; if "
            "(document.form3.OPTION1.type == \"select-one\")   "
            "option1=document.form3.OPTION1[document.form3.OPTION1.selectedIndex].value;else "
            "option1=document.form3.OPTION1.value; var option2; if (document.form3.OPTION2.type "
            "== \"select-one\")   "
            "option2=document.form3.OPTION2[document.form3.OPTION2.selectedIndex].value;else "
            "option2=document.form3.OPTION2.value; " +
                add + ";}</SCRIPT>");
}

TEST_F(FillTemplateTest, SearchBlockAndUserBlock) {
  StoreNode& item = Add(nullptr, NodeKind::Page, "Home", "a.htm");
  project.settings.search = false;
  EXPECT_EQ(Fill("a<SEARCH>$SEARCHURL</search>b", item), "ab");
  project.settings.search = true;
  session->options.orderServer = "HTTPS://orders.example.com";
  EXPECT_EQ(Fill("a<SEARCH>$SEARCHURL|$SEARCHID</search>b", item),
            "ahttp://orders.example.com/search|tolmi-store"
            "b");
  EXPECT_EQ(Fill("x<USER>$F7 gone</USER>y", item), "xy");
  item.fields[1] = "Green";
  EXPECT_EQ(Fill("x<user><b>$FIELD2</b><i>$LABEL2</i></user>y", item), "x<b>Green</b><i></i>y");
}

TEST_F(FillTemplateTest, ServerAndTitles) {
  StoreNode& item = Add(nullptr, NodeKind::Page, "Home <i>page</i>", "a.htm");
  item.page = "Welcome";
  EXPECT_EQ(Fill("$TOLMI_SERVER|$TOLMI_SERVER", item), "|");
  EXPECT_EQ(session->log.errors, 1);
  EXPECT_EQ(session->log.lines.back(), "error: Tolmi Server must be defined in preferences!");
  EXPECT_EQ(Fill("$TITLE|$META_TITLE|$HOMETITLE|$DESCRIPTION|$_PRODUCT", item),
            "Home <i>page</i>|Welcome|Home <i>page</i>|Welcome|Tolmi PRO");
  item.page.clear();
  EXPECT_EQ(Fill("$META_TITLE|$DESCRIPTION", item), "Home page|Home <i>page</i>");
  item.pagePresent = true;  // "PAGE=" read empty: the description is empty, not the name
  EXPECT_EQ(Fill("$META_TITLE|$DESCRIPTION|$META_DESCRIPTION", item), "Home page||");
  EXPECT_EQ(Fill("<a href=\"$HOMELINK\">h</a>", item), "<a href=\"a.htm\">h</a>");
}

TEST_F(FillTemplateTest, BulletsAndButtons) {
  StoreNode& item = Add(nullptr, NodeKind::Page, "Home", "a.htm");
  EXPECT_EQ(Fill("$BULLET_F|$BUTTON_ADD", item), "<img src=\"bf.gif\" align=top>|add.gif");
  project.settings.hasBullets = false;
  EXPECT_EQ(Fill("[$BULLET_F]", item), "[]");
}

TEST_F(FillTemplateTest, NoSchemeAbandonsTheFill) {
  StoreNode& item = Add(nullptr, NodeKind::Page, "Home", "a.htm");
  schemes.categories.clear();
  schemes.current.reset();
  std::string text = "$FNC";
  EXPECT_FALSE(FillTemplate(*session, text, item, item, 1));
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text, "No scheme defined for current store.");
}

TEST_F(FillTemplateTest, IncludesNestAndStopAtTheLimit) {
  StoreNode& item = Add(nullptr, NodeKind::Page, "Home", "a.htm");
  home.Write("html/one.htm", "<1 %FILE=html\\two.htm%>");
  home.Write("html/two.htm", "two");
  EXPECT_EQ(Fill("[%file=html/one.htm%]", item), "[<1 two>]");
  EXPECT_EQ(Fill("[%FILE=missing.htm%]", item), "[]");
  EXPECT_EQ(session->log.lines.back(), "error: a.htm: File not found 'missing.htm'");
  EXPECT_EQ(session->log.errors, 0);
  home.Write("loop.htm", "x%FILE=loop.htm%");
  std::string looped = Fill("%FILE=loop.htm%", item);
  EXPECT_EQ(Count(looped, "x"), 600);  // 100 includes in each of six calls
  EXPECT_EQ(Fill("a %FILE=never closed", item), "a %FILE=never closed");
}

// Blocks fill in order, the text a block put in is not searched again, and a block that
// fills itself ends.
TEST_F(FillTemplateTest, ProductBlocksFillInOrderWithoutRescans) {
  StoreNode& page = Add(nullptr, NodeKind::Page, "Page", "page.htm");
  for (int i = 1; i <= 300; ++i) Add(&page, NodeKind::Product, "T" + std::to_string(i), "");
  page.children[0]->cost = "3";
  // A "$SHELF" already in the text takes the first block, as the first one found.
  EXPECT_EQ(Fill("$SHELF|<PRODUCT1>[$TITLE $PRICE $FNC]</PRODUCT1><product2>[$TITLE]</product2>"
                 "<PRODUCT900>gone</PRODUCT900><PRODUCT3>no end",
                 page),
            "[T1 3 1]|[T2]$SHELFno end");
  std::string many, expected;
  for (int i = 1; i <= 300; ++i) {
    many += "<PRODUCT" + std::to_string(i) + ">($TITLE)</PRODUCT" + std::to_string(i) + ">";
    expected += "(T" + std::to_string(i) + ")";
  }
  // An opening tag runs to the first ">" after it: here that of the next block.
  EXPECT_EQ(Fill(many + "<PRODUCT1 tail" + many, page), expected + expected);
  project.variables.push_back({"$AGAIN", "<PRODUCT1>$AGAIN</PRODUCT1>"});
  EXPECT_EQ(Fill("<PRODUCT1>$AGAIN</PRODUCT1>", page).find("<PRODUCT"), std::string::npos);
}

TEST_F(FillTemplateTest, IllegalUserVariableNames) {
  project.variables = {{"$PRI", "1"}, {"$SALE", "3"}, {"$BODYX", "4"}};
  EXPECT_EQ(CheckUserVariableNames(*session), 2);
  EXPECT_EQ(session->log.lines, (std::vector<std::string>{"error: $PRI: illegal variable name",
                                                          "error: $BODYX: illegal variable name"}));
  EXPECT_EQ(session->log.errors, 2);
}

TEST_F(FillTemplateTest, ReplaceUpToRepeatsFromTheStart) {
  std::string text = "$A $A $A $A $A $A";
  EXPECT_EQ(ReplaceUpTo(text, "$A", "x$A", 4), 4);
  EXPECT_EQ(text, "xxxx$A $A $A $A $A $A");
}

}  // namespace
}  // namespace tolmi::test

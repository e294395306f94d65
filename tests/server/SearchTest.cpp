#include "server/Search.h"

#include <gtest/gtest.h>

#include "tests/support/TestHome.h"

namespace tolmi::server {
namespace {

const char* kIndex =
    "; Tolmi Index File\n"
    "; v2\n"
    "VERSION=2.09\n"
    "TITLE=Shop\n"
    "#0|'Kitchen'||'kitchen.htm'||||\n"
    "#1|'Mug'|'4.50'|'mugs.htm'||'mug.pdf'|'Blue'|\n"
    "#1|'Mug'|'4.50'|'mugs.htm'||'mug.pdf'|'Blue'|\n"
    "#1|'Teapot <b>Deluxe</b>'|'20.00'|'pots/teapot.htm'|'tea.gif'||'Holds <i>six</i> cups'|'china "
    "blue'\n"
    "#1|'Offsite'|'1'|'http://other.example/x.htm'||||\n"
    "#1|broken line\n";

TEST(SearchTest, ReadsIndexLinesAndMatchesEveryWordOnce) {
  IndexEntry e;
  ASSERT_TRUE(ParseIndexLine("#1|'Mug'|'4.50'|'mugs.htm'||'mug.pdf'|'Blue'|", e));
  EXPECT_EQ(e.type, 1);
  EXPECT_EQ(e.name + "|" + e.cost + "|" + e.file + "|" + e.image + "|" + e.link + "|" +
                e.description + "|" + e.keywords,
            "Mug|4.50|mugs.htm||mug.pdf|Blue|");
  ASSERT_TRUE(ParseIndexLine("#3|'A|B'|||||'d'|'k'\r", e));
  EXPECT_EQ(e.name + "/" + e.keywords, "A|B/k");
  for (std::string bad : {"", "#", "#x|'a'", "VERSION=1", "#1|'unterminated", "#12345|'a'"}) {
    EXPECT_FALSE(ParseIndexLine(bad, e)) << bad;
  }
  auto entries = ParseIndex(kIndex);
  EXPECT_EQ(entries.size(), 5u);
  // Name, description or keywords; a product listed twice is found once.
  auto hits = SearchIndex(entries, "BLUE");
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0].name, "Mug");
  EXPECT_EQ(hits[1].file, "pots/teapot.htm");
  EXPECT_EQ(SearchIndex(entries, "blue six").size(), 1u);
  EXPECT_EQ(SearchIndex(entries, "blue missing").size(), 0u);
  EXPECT_EQ(SearchIndex(entries, "kitchen").size(), 0u);  // categories are not products
  EXPECT_EQ(SearchIndex(entries, "   ").size(), 0u);
  EXPECT_EQ(SearchIndex(entries, "o", 2).size(), 2u);
}

TEST(SearchTest, EscapesEverythingFromTheQuery) {
  auto entries = ParseIndex(kIndex);
  std::string tpl = "<html><title><!--TOLMI_QUERY--></title><body>X<!--TOLMI_RESULTS-->Y</body>";
  std::string page = RenderSearchPage(tpl, entries, "<script>alert('x')</script> \"mug\"", "");
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_NE(page.find("<title>&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &quot;mug&quot;"
                      "</title>"),
            std::string::npos);
  EXPECT_NE(page.find("No products found for &quot;&lt;script&gt;"), std::string::npos);
  // A query that names the markers does not bring them back.
  page = RenderSearchPage(tpl, entries, "<!--TOLMI_RESULTS-->", "");
  EXPECT_EQ(page.find("<!--TOLMI"), std::string::npos);
}

// The block goes in place of the marker, else before "</body>"; full addresses stay whole.
TEST(SearchTest, PlacesResultsAtTheMarkerOrBeforeTheBodyEnd) {
  auto entries = ParseIndex(kIndex);
  EXPECT_EQ(RenderSearchPage("<body>A<!--TOLMI_RESULTS-->B</body>", entries, "blue", "/s/"),
            "<body>A" + RenderResults(SearchIndex(entries, "blue"), "blue", "/s/") + "B</body>");
  std::string page = RenderSearchPage("<HTML><BODY>x</BODY></HTML>", entries, "offsite", "/");
  EXPECT_NE(page.find("<a href=\"http://other.example/x.htm\">Offsite</a>"), std::string::npos);
  EXPECT_LT(page.find("tolmi-search"), page.find("</BODY>"));
  page = RenderSearchPage("no body", entries, "", "");
  EXPECT_NE(page.find("Please enter a word to search for."), std::string::npos);
}

// Links, pictures and prices as the catalogue pages show them; names and texts without tags.
TEST(SearchTest, ResultsShowPicturesAndPricesLikeTheCataloguePagesAndLinkShelfItems) {
  test::TestHome home;
  home.Write("store/img/Blue Mug.JPG", "jpg");
  const std::string index =
      "TITLE=Shop\nCURRENCY=&pound;\n"
      "#2|'Mugs'||'mugs.htm'||||\n"
      "#1|'Mug'|'4.50'||'blue mug.jpg'||'Blue'|\n"
      "#1|'Jug <b>big</b>'|'9'|'jug.htm'|'gone.jpg'||'Holds <i>six</i>'|'blue'\n"
      "#1|'Cup'|'2'|'cup.htm'|'http://cdn.example/c.png'|||'blue'\n";
  ResultLook look = StoreLook(home / "store", index);
  EXPECT_EQ(look.currency, "&pound;");
  EXPECT_EQ(
      RenderResults(SearchIndex(ParseIndex(index), "blue"), "blue", "/s/", look),
      "<div class=\"tolmi-search\">\n"
      "<p class=\"tolmi-search-count\">3 products found for &quot;blue&quot;.</p>\n"
      "<div class=\"tolmi-result\"><img src=\"/s/img/Blue%20Mug.JPG\" alt=\"\" width=\"64\" "
      "height=\"64\" loading=\"lazy\"><a href=\"/s/mugs.htm\">Mug</a> <span "
      "class=\"tolmi-price\">&pound;4.50</span><br>Blue</div>\n"
      "<div class=\"tolmi-result\"><a href=\"/s/jug.htm\">Jug big</a> <span "
      "class=\"tolmi-price\">&pound;9</span><br>Holds six</div>\n"
      "<div class=\"tolmi-result\"><img src=\"http://cdn.example/c.png\" alt=\"\" width=\"64\" "
      "height=\"64\" loading=\"lazy\"><a href=\"/s/cup.htm\">Cup</a> <span "
      "class=\"tolmi-price\">&pound;2</span></div>\n"
      "</div>\n");
  // A currency that is no entity reference is escaped.
  look.currency = "<b>&x";
  EXPECT_NE(RenderResults(SearchIndex(ParseIndex(index), "jug"), "jug", "", look)
                .find("&lt;b&gt;&amp;x9</span>"),
            std::string::npos);
}

}  // namespace
}  // namespace tolmi::server

// HTML text routines and the tokenizer: exact results on chosen texts, and huge inputs finish
// (the tokenizer's fuzz target checks that tokens give any input back).
#include "util/Html.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "util/HtmlTokenizer.h"

namespace tolmi {
namespace {

std::string Decoded(std::string text) {
  HtmlDecodeEntities(text);
  return text;
}
std::string Plain(std::string text) {
  HtmlToPlainText(text);
  return text;
}
std::string Stripped(std::string text) {
  HtmlStripTags(text);
  return text;
}
std::string WithoutVariables(std::string text) {
  StripPercentVariables(text);
  return text;
}

TEST(HtmlEntitiesTest, DecodesNamedAndNumericReferencesOnce) {
  const std::pair<const char*, const char*> decoded[] = {
      {"Caf&eacute; &amp; Bar", "Caf\xE9 & Bar"},
      {"&quot;&lt;&gt;&apos;", "\"<>'"},
      {"a&nbsp;b", "a b"},  // a plain space, not 160
      {"&iexcl;&copy;&frac34;&yuml;", "\xA1\xA9\xBE\xFF"},
      // The first letter's case chooses between twins; the other letters ignore case.
      {"&Ouml;&ouml;&AElig;&aelig;", "\xD6\xF6\xC6\xE6"},
      {"&THORN;&thorn;&ETH;&eth;", "\xDE\xFE\xD0\xF0"},
      {"&OUML;&aMP;&Thorn;", "\xD6&\xDE"},
      // Numeric references have exactly three digits.
      {"&#233;&#065;&#039;s&#167;",
       "\xE9"
       "A's\xA7"},
      {"&frac14;", "\xBC"},
      // A decoded ampersand is not decoded again.
      {"&amp;lt;", "&lt;"},
      {"&a&lt;", "&a<"},
      {"&&&gt;", "&&>"},
  };
  for (const auto& [in, out] : decoded) EXPECT_EQ(Decoded(in), out) << in;
  // Not references: a capital first letter where the name has none, numbers not of three digits
  // (321's low byte is 65; never a NUL), unknown names, a ";" more than 8 after the "&".
  for (const char* same :
       {"&Amp;&NBSP;&Copy;", "&#65;", "&#0065;", "&#321;", "&#000;", "&#256;", "&#x41;", "&#-65;",
        "&sect;", "&euro; &bogus; &; & ;", "&amp    ;", "&amp", "x&"}) {
    EXPECT_EQ(Decoded(same), same);
  }
}

TEST(HtmlTextTest, PlainTextPutsASpaceForEachTag) {
  EXPECT_EQ(Plain("<p>Fish &amp; Chips</p>"), " Fish & Chips ");
  // A ">" inside a quoted attribute does not end the tag.
  EXPECT_EQ(Plain("x<img alt=\"a>b\">y"), "x y");
  EXPECT_EQ(Plain("x<img alt='a>b'>y"), "x y");
  // Tags go before references are decoded, so an encoded tag stays text.
  EXPECT_EQ(Plain("&lt;b&gt;"), "<b>");
  EXPECT_EQ(Plain("a<b>c<d &amp;"), "a c<d &");
}

TEST(HtmlTextTest, StripTagsRemovesThemWithoutDecoding) {
  EXPECT_EQ(Stripped("<font color=\"red\">Sale</font> &amp; more"), "Sale &amp; more");
  EXPECT_EQ(Stripped("keep <this"), "keep <this");
  EXPECT_EQ(Stripped("<b>a</b> then <i title=\">\"> x"), "a then  x");
  EXPECT_EQ(Stripped("a <b title=\"x> c"), "a <b title=\"x> c");
  EXPECT_EQ(Stripped("<>"), "");
}

TEST(HtmlTextTest, StripPercentVariablesKeepsLonePercents) {
  EXPECT_EQ(WithoutVariables("Total: %TOTAL% 100%"), "Total:  100%");
  EXPECT_EQ(WithoutVariables("%A%%B%x"), "x");
  EXPECT_EQ(WithoutVariables("50% <b>off</b> %NAME%"), "50% <b>off</b> ");
  EXPECT_EQ(WithoutVariables("<td width=50%>%QTY%</td>"), "<td width=50%></td>");
  EXPECT_EQ(WithoutVariables("%%"), "");
  EXPECT_EQ(WithoutVariables("%"), "%");
}

TEST(HtmlAttributeTest, ReadsValuesOfOddTags) {
  const std::string tag =
      "<IMG SRC=\"img/a b.gif\" alt='It&quot;s' width=120 border = 0 ISMAP data-x=\"&QUOT;q\">";
  EXPECT_EQ(TagGetAttribute(tag, "src"), "img/a b.gif");
  EXPECT_EQ(TagGetAttribute(tag, "ALT"), "It\"s");
  EXPECT_EQ(TagGetAttribute(tag, "Width"), "120");
  EXPECT_EQ(TagGetAttribute(tag, "border"), "0");
  EXPECT_EQ(TagGetAttribute(tag, "ismap"), "ISMAP");
  EXPECT_EQ(TagGetAttribute(tag, "data-x"), "\"q");
  EXPECT_FALSE(TagGetAttribute(tag, "height"));
  EXPECT_FALSE(TagGetAttribute(tag, "img"));  // the tag name is not an attribute
  EXPECT_FALSE(TagGetAttribute(tag, "gif"));  // nor is text inside a value
  // Empty, unclosed and odd tags.
  EXPECT_EQ(TagGetAttribute("<a href=\"\">", "href"), "");
  EXPECT_EQ(TagGetAttribute("<a href=x>", "href"), "x");
  EXPECT_EQ(TagGetAttribute("<a href=\"unclosed", "href"), "unclosed");
  EXPECT_EQ(TagGetAttribute("<br/ clear=all/>", "clear"), "all/");
  EXPECT_EQ(TagGetAttribute("<input checked>", "checked"), "checked");
  EXPECT_EQ(TagGetAttribute("</a name=x>", "name"), "x");
  EXPECT_EQ(TagGetAttribute("<a =x href=y>", "href"), "y");
  EXPECT_FALSE(TagGetAttribute("<a href=x>", ""));
  EXPECT_FALSE(TagGetAttribute("a href=x", "href"));
  EXPECT_FALSE(TagGetAttribute("", "href"));
}

TEST(HtmlAttributeTest, OnlyTagTokensHaveAttributes) {
  EXPECT_EQ(TagGetAttribute(HtmlToken{kHtmlTagA, "<a href=x.htm>", 0}, "href"), "x.htm");
  EXPECT_EQ(TagGetAttribute(HtmlToken{-kHtmlTagA, "</a id=1>", 0}, "id"), "1");
  EXPECT_EQ(TagGetAttribute(HtmlToken{kHtmlOtherTag, "<blink rate=2>", 0}, "rate"), "2");
  EXPECT_FALSE(TagGetAttribute(HtmlToken{kHtmlText, "<a href=x.htm>", 0}, "href"));
  EXPECT_FALSE(TagGetAttribute(HtmlToken{kHtmlComment, "<!-- <a href=x> -->", 0}, "href"));
}

TEST(ResolveLinkTest, KeepsAbsoluteLinksAndJoinsLocalAndWebPages) {
  const char* page = "http://shop.example/cat/sub/page.htm";
  const std::tuple<const char*, const char*, const char*> rows[] = {
      {page, "http://other.example/x", "http://other.example/x"},
      {page, "HTTPS://other.example/x", "HTTPS://other.example/x"},
      {page, "mailto:me@shop.example", "mailto:me@shop.example"},
      {"", "c.htm", "c.htm"},
      {"", "http:///c.htm", "/c.htm"},
      {page, "http:///c.htm", "http://shop.example/c.htm"},
      {page, "https:///img/c.gif", "http://shop.example/img/c.gif"},
      {"C:\\web\\shop\\index.htm", "..\\other\\b.htm", "C:/web/other/b.htm"},
      {"C:\\web\\index.htm", "../../../x.htm", "C:/x.htm"},
      {"/home/m/store/a.html", "./img//p.gif", "/home/m/store/img/p.gif"},
      {"/home/m/store/a.html", "../x/../y.html", "/home/m/y.html"},
      {"\\home\\m\\a.html", "b.html", "/home/m/b.html"},
      {page, "b.htm", "http://shop.example/cat/sub/b.htm"},
      {page, "/b.htm", "http://shop.example/b.htm"},
      {page, "../../../../b.htm", "http://shop.example/b.htm"},
      {page, "x.htm?back=../y", "http://shop.example/cat/sub/x.htm?back=../y"},
      {"http://shop.example", "b.htm", "http://shop.example/b.htm"},
      {"shop.example/a/", "b.htm", "shop.example/a/b.htm"},
  };
  for (const auto& [base, link, resolved] : rows)
    EXPECT_EQ(ResolveLink(base, link), resolved) << base << " + " << link;
}

TEST(ResolveLinkTest, CleansTheWebPageAddress) {
  // The query goes, unless the page is a JSP page.
  EXPECT_EQ(ResolveLink("http://s.example/a/find.cgi?q=x/y", "b.htm"), "http://s.example/a/b.htm");
  EXPECT_EQ(ResolveLink("http://s.example/a/view.jsp?id=1", "b.jsp"), "http://s.example/a/b.jsp");
  // A request line's protocol and a "/POST" marker are dropped.
  EXPECT_EQ(ResolveLink("http://s.example/a/b.htm HTTP/1.0", "c.htm"), "http://s.example/a/c.htm");
  EXPECT_EQ(ResolveLink("http://s.example/a/POST  /order", "c.htm"), "http://s.example/a/c.htm");
}

// "kind:text" of every token, joined by "|".
std::string Describe(std::string_view html, int options = 0) {
  std::string out;
  for (const HtmlToken& t : HtmlTokenize(html, options)) {
    if (!out.empty()) out += '|';
    out += std::to_string(t.kind) + ":" + t.text;
  }
  return out;
}

TEST(HtmlTagTableTest, NumbersFollowTheTableOrder) {
  // Case does not matter; prefixes and extensions of names are not names.
  const std::pair<const char*, int> tags[] = {
      {"FORM", 1},        {"B", 6},      {"A", 10},      {"I", 12},      {"U", 13},
      {"FONT", 20},       {"STYLE", 29}, {"SCRIPT", 30}, {"STRONG", 34}, {"H1", 36},
      {"EM", 66},         {"SUP", 88},   {"PHP", 92},    {"XML", 93},    {"font", 20},
      {"Blockquote", 53}, {"BA", 0},     {"BLINK", 0},   {"SUPX", 0},    {"", 0}};
  for (const auto& [name, number] : tags) EXPECT_EQ(HtmlTagNumber(name), number) << name;
  // Every name maps back to its own number.
  for (int n = 1; n <= kHtmlTagCount; ++n) EXPECT_EQ(HtmlTagNumber(HtmlTagName(n)), n);
  EXPECT_EQ(HtmlTagName(0), "");
  EXPECT_EQ(HtmlTagName(94), "");
}

TEST(HtmlTokenizeTest, SplitsTagsTextAndReferences) {
  EXPECT_EQ(Describe("Hi <B>there</b> &amp; you"),
            "0:Hi |6:<B>|0:there|-6:</b>|0: |100:&amp;|0: you");
  EXPECT_EQ(Describe("<font color=\"red\" face=\"a>b\">x</FONT>"),
            "20:<font color=\"red\" face=\"a>b\">|0:x|-20:</FONT>");
  EXPECT_EQ(Describe("<br/><br />"), "11:<br/>|11:<br />");
  EXPECT_EQ(Describe("< td >"), "4:< td >");
  EXPECT_TRUE(HtmlTokenize("").empty());
}

TEST(HtmlTokenizeTest, ReferencesNeedASemicolonWithinTenWithoutBlanks) {
  EXPECT_EQ(Describe("a&b c;d"), "0:a&b c;d");
  EXPECT_EQ(Describe("x&abcdefghi;y"), "0:x|100:&abcdefghi;|0:y");
  EXPECT_EQ(Describe("x&abcdefghij;y"), "0:x&abcdefghij;y");
  EXPECT_EQ(Describe("&#233;&lt;"), "100:&#233;|100:&lt;");
  EXPECT_EQ(Describe("a & b"), "0:a & b");
}

TEST(HtmlTokenizeTest, CommentsAndDeclarations) {
  EXPECT_EQ(Describe("a<!-- x <b> -->b"), "0:a|103:<!-- x <b> -->|0:b");
  EXPECT_EQ(Describe("<!-- a -!> b"), "103:<!-- a -!>|0: b");
  EXPECT_EQ(Describe("<!-- a > b"), "103:<!-- a >|0: b");
  EXPECT_EQ(Describe("<!-- never closed"), "103:<!-- never closed");
  EXPECT_EQ(Describe("<!-x->y"), "103:<!-x->|0:y");
  EXPECT_EQ(Describe("<!doctype html><html>"), "127:<!doctype html>|17:<html>");
  EXPECT_EQ(Describe("<![CDATA[a > b]]>c"), "103:<![CDATA[a > b]]>|0:c");
  EXPECT_EQ(Describe("<!ELEMENT x>y"), "0:<!ELEMENT x>|0:y");
}

TEST(HtmlTokenizeTest, UnknownTagNames) {
  EXPECT_EQ(Describe("<blink>x</blink>"), "127:<blink>|0:x|127:</blink>");
  // An unknown word whose ">" does not come before the next "<" is text.
  EXPECT_EQ(Describe("if a<c then <b>"), "0:if a|0:<|0:c then |6:<b>");
  EXPECT_EQ(Describe("3 <5"), "0:3 |0:<|0:5");
  // A known name makes a tag even when nothing closes it.
  EXPECT_EQ(Describe("x <b"), "0:x |6:<b");
  EXPECT_EQ(Describe("<"), "0:<");
}

TEST(HtmlTokenizeTest, ScriptAndStyleContentIsOneToken) {
  EXPECT_EQ(Describe("<SCRIPT>if (a<b) x();</SCRIPT>"),
            "30:<SCRIPT>|102:if (a<b) x();|-30:</SCRIPT>");
  EXPECT_EQ(Describe("<style type=\"text/css\">p > b { }< /style>z"),
            "29:<style type=\"text/css\">|101:p > b { }|-29:< /style>|0:z");
  EXPECT_EQ(Describe("<script>document.write('</b>')< /Script >"),
            "30:<script>|102:document.write('</b>')|-30:< /Script >");
  EXPECT_EQ(Describe("<script></script>"), "30:<script>|-30:</script>");
  EXPECT_EQ(Describe("<script>var a = 1 < 2;"), "30:<script>|102:var a = 1 < 2;");
  EXPECT_EQ(Describe("</script>x"), "-30:</script>|0:x");
}

TEST(HtmlTokenizeTest, SentenceSplitOption) {
  EXPECT_EQ(Describe("One. Two.Three. <b>Four. </b>", kHtmlSplitSentences),
            "0:One.|0: Two.Three.|0: |6:<b>|0:Four.|0: |-6:</b>");
  EXPECT_EQ(Describe("End.", kHtmlSplitSentences), "0:End.");
}

TEST(HtmlTokenizeTest, MergeOptionJoinsTextAcrossInlineTags) {
  EXPECT_EQ(Describe("<p>Buy <b>two</b> &amp; <i>save</i>.</p>", kHtmlMergeInline),
            "7:<p>|0:Buy <b>two</b> &amp; <i>save</i>.|-7:</p>");
  EXPECT_EQ(Describe("<td><b>Price</b></td>", kHtmlMergeInline), "4:<td>|0:<b>Price</b>|-4:</td>");
  EXPECT_EQ(Describe("<a href=x><img src=y></a>", kHtmlMergeInline),
            "10:<a href=x>|32:<img src=y>|-10:</a>");
  // A lone text or tag stays as it is; opening tags at the end of a run stay apart.
  EXPECT_EQ(Describe("x<b>", kHtmlMergeInline), "0:x|6:<b>");
  EXPECT_EQ(Describe("&lt;<b>&gt;", kHtmlMergeInline), "100:&lt;|6:<b>|100:&gt;");
  // Both options keep sentences apart.
  EXPECT_EQ(Describe("One <b>a</b>. Two <i>b</i>.", kHtmlSplitSentences | kHtmlMergeInline),
            "0:One <b>a</b>.|0: Two <i>b</i>.");
}

TEST(HtmlTokenizeTest, ReportsProgressOnLongTexts) {
  std::string big(300 * 1024, 'x');
  for (size_t i = 0; i < big.size(); i += 100) big[i] = '<';
  size_t calls = 0, last = 0;
  auto tokens = HtmlTokenize(big, 0, [&](size_t done, size_t total) {
    ++calls;
    EXPECT_GT(done, last);
    EXPECT_EQ(total, big.size());
    last = done;
  });
  EXPECT_GE(calls, 4u);
  EXPECT_EQ(tokens.back().offset + tokens.back().text.size(), big.size());
}

// Inputs that would take quadratic time if a scan restarted at every "<", quote or "&".
TEST(HtmlRobustnessTest, HugePathologicalInputsFinish) {
  const size_t mb = 1 << 20;
  const size_t half = mb / 2;
  std::vector<std::string> inputs = {
      std::string(mb, '<'), std::string(half / 2, '"') + std::string(half / 2, '<'),
      "<script>" + std::string(half, '<'), std::string(half / 2, '%') + std::string(half / 2, '<')};
  for (const char* unit : {"<x \"<", "<!--<", "&abcdefg", "<b>&amp;"}) {
    inputs.emplace_back();
    while (inputs.back().size() < half) inputs.back() += unit;
  }
  for (const std::string& text : inputs) {
    for (int options : {0, kHtmlSplitSentences | kHtmlMergeInline}) HtmlTokenize(text, options);
    std::string s = text;
    HtmlToPlainText(s);
    s = text;
    HtmlStripTags(s);
    s = text;
    StripPercentVariables(s);
    (void)TagGetAttribute(text, "x");
  }
  auto tokens = HtmlTokenize(std::string(mb, '<'));
  ASSERT_EQ(tokens.size(), mb);
  EXPECT_EQ(tokens.back().kind, kHtmlText);
}

}  // namespace
}  // namespace tolmi

#include "util/Html.h"

#include <gtest/gtest.h>

#include <string>

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

TEST(HtmlEntitiesTest, DecodesNamedReferences) {
  EXPECT_EQ(Decoded("Caf&eacute; &amp; Bar"), "Caf\xE9 & Bar");
  EXPECT_EQ(Decoded("&quot;&lt;&gt;&apos;"), "\"<>'");
  EXPECT_EQ(Decoded("a&nbsp;b"), "a b");  // a plain space, not 160
  EXPECT_EQ(Decoded("&iexcl;&copy;&frac34;&yuml;"), "\xA1\xA9\xBE\xFF");
  EXPECT_EQ(Decoded("&times;&divide;&szlig;&micro;"), "\xD7\xF7\xDF\xB5");
}

TEST(HtmlEntitiesTest, FirstLetterCaseChoosesBetweenTwins) {
  EXPECT_EQ(Decoded("&Ouml;&ouml;"), "\xD6\xF6");
  EXPECT_EQ(Decoded("&THORN;&thorn;&ETH;&eth;"), "\xDE\xFE\xD0\xF0");
  EXPECT_EQ(Decoded("&AElig;&aelig;"), "\xC6\xE6");
  // The other letters ignore case.
  EXPECT_EQ(Decoded("&OUML;&aMP;&Thorn;"), "\xD6&\xDE");
  // A capital first letter where the name has none is not a reference.
  EXPECT_EQ(Decoded("&Amp;&NBSP;&Copy;"), "&Amp;&NBSP;&Copy;");
}

TEST(HtmlEntitiesTest, NumericReferencesNeedThreeDigits) {
  EXPECT_EQ(Decoded("&#233;"), "\xE9");
  EXPECT_EQ(Decoded("&#065;"), "A");
  EXPECT_EQ(Decoded("&#039;s"), "'s");
  EXPECT_EQ(Decoded("&#65;"), "&#65;");
  EXPECT_EQ(Decoded("&#0065;"), "&#0065;");
  EXPECT_EQ(Decoded("&#321;"), "&#321;");  // its low byte is 65, but it is not written so
  EXPECT_EQ(Decoded("&#000;"), "&#000;");  // never a NUL byte
  EXPECT_EQ(Decoded("&#256;"), "&#256;");
  EXPECT_EQ(Decoded("&#x41;"), "&#x41;");
  EXPECT_EQ(Decoded("&#-65;"), "&#-65;");
}

TEST(HtmlEntitiesTest, LeavesUnknownAndOverlongReferences) {
  EXPECT_EQ(Decoded("&sect;"), "&sect;");  // the section sign has no name here
  EXPECT_EQ(Decoded("&#167;"), "\xA7");
  EXPECT_EQ(Decoded("&euro; &bogus; &; & ;"), "&euro; &bogus; &; & ;");
  // The ";" must come at most 8 characters after the "&".
  EXPECT_EQ(Decoded("&amp    ;"), "&amp    ;");
  EXPECT_EQ(Decoded("&frac14;"), "\xBC");
  EXPECT_EQ(Decoded("&amp"), "&amp");
  EXPECT_EQ(Decoded("x&"), "x&");
}

TEST(HtmlEntitiesTest, DecodedAmpersandIsNotDecodedAgain) {
  EXPECT_EQ(Decoded("&amp;lt;"), "&lt;");
  EXPECT_EQ(Decoded("&amp;amp;amp;"), "&amp;amp;");
  EXPECT_EQ(Decoded("&a&lt;"), "&a<");
  EXPECT_EQ(Decoded("&&&gt;"), "&&>");
}

TEST(HtmlTextTest, PlainTextPutsASpaceForEachTag) {
  EXPECT_EQ(Plain("a<b>b</b>c"), "a b c");
  EXPECT_EQ(Plain("<p>Fish &amp; Chips</p>"), " Fish & Chips ");
  // A ">" inside a quoted attribute does not end the tag.
  EXPECT_EQ(Plain("x<img alt=\"a>b\">y"), "x y");
  EXPECT_EQ(Plain("x<img alt='a>b'>y"), "x y");
  // Tags go before references are decoded, so an encoded tag stays text.
  EXPECT_EQ(Plain("&lt;b&gt;"), "<b>");
  EXPECT_EQ(Plain("one <b unclosed"), "one <b unclosed");
  EXPECT_EQ(Plain("a<b>c<d &amp;"), "a c<d &");
}

TEST(HtmlTextTest, StripTagsRemovesThemWithoutDecoding) {
  EXPECT_EQ(Stripped("a<b>b</b>c"), "abc");
  EXPECT_EQ(Stripped("<font color=\"red\">Sale</font> &amp; more"), "Sale &amp; more");
  EXPECT_EQ(Stripped("a<x title=\"1 > 0\">b"), "ab");
  EXPECT_EQ(Stripped("keep <this"), "keep <this");
  EXPECT_EQ(Stripped("<b>a</b> then <i title=\">\"> x"), "a then  x");
  EXPECT_EQ(Stripped("a <b title=\"x> c"), "a <b title=\"x> c");
  EXPECT_EQ(Stripped("<>"), "");
  EXPECT_EQ(Stripped(""), "");
}

TEST(HtmlTextTest, StripPercentVariablesKeepsLonePercents) {
  EXPECT_EQ(WithoutVariables("Total: %TOTAL% 100%"), "Total:  100%");
  EXPECT_EQ(WithoutVariables("%A%%B%x"), "x");
  EXPECT_EQ(WithoutVariables("50% <b>off</b> %NAME%"), "50% <b>off</b> ");
  EXPECT_EQ(WithoutVariables("<td width=50%>%QTY%</td>"), "<td width=50%></td>");
  EXPECT_EQ(WithoutVariables("a%b>c%d%"), "a%b>c");
  EXPECT_EQ(WithoutVariables("%%"), "");
  EXPECT_EQ(WithoutVariables("%"), "%");
  EXPECT_EQ(WithoutVariables("no variables"), "no variables");
}

TEST(HtmlAttributeTest, ReadsQuotedAndUnquotedValues) {
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
}

TEST(HtmlAttributeTest, HandlesEmptyUnclosedAndOddTags) {
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

TEST(ResolveLinkTest, KeepsAbsoluteLinksAndHandlesTripleSlash) {
  EXPECT_EQ(ResolveLink("http://shop.example/a/b.htm", "http://other.example/x"),
            "http://other.example/x");
  EXPECT_EQ(ResolveLink("http://shop.example/a/b.htm", "HTTPS://other.example/x"),
            "HTTPS://other.example/x");
  EXPECT_EQ(ResolveLink("http://shop.example/a/b.htm", "ftp://files/x"), "ftp://files/x");
  EXPECT_EQ(ResolveLink("http://shop.example/a/b.htm", "mailto:me@shop.example"),
            "mailto:me@shop.example");
  EXPECT_EQ(ResolveLink("", "c.htm"), "c.htm");
  EXPECT_EQ(ResolveLink("", "http:///c.htm"), "/c.htm");
  EXPECT_EQ(ResolveLink("http://shop.example/a/b.htm", "http:///c.htm"),
            "http://shop.example/c.htm");
  EXPECT_EQ(ResolveLink("http://shop.example/a/b.htm", "https:///img/c.gif"),
            "http://shop.example/img/c.gif");
}

TEST(ResolveLinkTest, JoinsLocalPages) {
  EXPECT_EQ(ResolveLink("C:\\web\\shop\\index.htm", "img/a.gif"), "C:/web/shop/img/a.gif");
  EXPECT_EQ(ResolveLink("C:\\web\\shop\\index.htm", "..\\other\\b.htm"), "C:/web/other/b.htm");
  EXPECT_EQ(ResolveLink("C:\\web\\index.htm", "../../../x.htm"), "C:/x.htm");
  EXPECT_EQ(ResolveLink("/home/m/store/a.html", "b.html"), "/home/m/store/b.html");
  EXPECT_EQ(ResolveLink("/home/m/store/a.html", "./img//p.gif"), "/home/m/store/img/p.gif");
  EXPECT_EQ(ResolveLink("/home/m/store/a.html", "../x/../y.html"), "/home/m/y.html");
  EXPECT_EQ(ResolveLink("\\home\\m\\a.html", "b.html"), "/home/m/b.html");
  EXPECT_EQ(ResolveLink("/a.html", "../../b.html"), "/b.html");
}

TEST(ResolveLinkTest, JoinsWebPages) {
  const char* page = "http://shop.example/cat/sub/page.htm";
  EXPECT_EQ(ResolveLink(page, "b.htm"), "http://shop.example/cat/sub/b.htm");
  EXPECT_EQ(ResolveLink(page, "/b.htm"), "http://shop.example/b.htm");
  EXPECT_EQ(ResolveLink(page, "../b.htm"), "http://shop.example/cat/b.htm");
  EXPECT_EQ(ResolveLink(page, "../../../../b.htm"), "http://shop.example/b.htm");
  EXPECT_EQ(ResolveLink(page, "x.htm?back=../y"), "http://shop.example/cat/sub/x.htm?back=../y");
  EXPECT_EQ(ResolveLink("http://shop.example", "b.htm"), "http://shop.example/b.htm");
  EXPECT_EQ(ResolveLink("http://shop.example", "/b.htm"), "http://shop.example/b.htm");
  EXPECT_EQ(ResolveLink("shop.example/a/", "b.htm"), "shop.example/a/b.htm");
}

TEST(ResolveLinkTest, CleansTheWebPageAddress) {
  // The query goes, unless the page is a JSP page.
  EXPECT_EQ(ResolveLink("http://s.example/a/find.cgi?q=x/y", "b.htm"), "http://s.example/a/b.htm");
  EXPECT_EQ(ResolveLink("http://s.example/a/view.jsp?id=1", "b.jsp"), "http://s.example/a/b.jsp");
  // A request line's protocol and a "/POST" marker are dropped.
  EXPECT_EQ(ResolveLink("http://s.example/a/b.htm HTTP/1.0", "c.htm"), "http://s.example/a/c.htm");
  EXPECT_EQ(ResolveLink("http://s.example/a/POST  /order", "c.htm"), "http://s.example/a/c.htm");
}

}  // namespace
}  // namespace tolmi

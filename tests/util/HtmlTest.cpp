// HTML text routines: exact results on chosen texts, and huge inputs finish.
#include "util/Html.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
    std::string s = text;
    HtmlToPlainText(s);
    s = text;
    HtmlStripTags(s);
    s = text;
    StripPercentVariables(s);
  }
}

}  // namespace
}  // namespace tolmi

#include "util/HtmlTokenizer.h"

#include <gtest/gtest.h>

#include <string>

namespace tolmi {
namespace {

// "kind:text" of every token, joined by "|".
std::string Describe(std::string_view html, int options = 0) {
  std::string out;
  for (const HtmlToken& t : HtmlTokenize(html, options)) {
    if (!out.empty()) out += '|';
    out += std::to_string(t.kind) + ":" + t.text;
  }
  return out;
}

std::string Joined(const std::vector<HtmlToken>& tokens) {
  std::string out;
  for (const HtmlToken& t : tokens) out += t.text;
  return out;
}

TEST(HtmlTagTableTest, NumbersFollowTheTableOrder) {
  EXPECT_EQ(HtmlTagNumber("FORM"), 1);
  EXPECT_EQ(HtmlTagNumber("B"), 6);
  EXPECT_EQ(HtmlTagNumber("A"), 10);
  EXPECT_EQ(HtmlTagNumber("I"), 12);
  EXPECT_EQ(HtmlTagNumber("U"), 13);
  EXPECT_EQ(HtmlTagNumber("FONT"), 20);
  EXPECT_EQ(HtmlTagNumber("STYLE"), 29);
  EXPECT_EQ(HtmlTagNumber("SCRIPT"), 30);
  EXPECT_EQ(HtmlTagNumber("STRONG"), 34);
  EXPECT_EQ(HtmlTagNumber("H1"), 36);
  EXPECT_EQ(HtmlTagNumber("EM"), 66);
  EXPECT_EQ(HtmlTagNumber("SUP"), 88);
  EXPECT_EQ(HtmlTagNumber("PHP"), 92);
  EXPECT_EQ(HtmlTagNumber("XML"), 93);
  // Case does not matter; prefixes and extensions of names are not names.
  EXPECT_EQ(HtmlTagNumber("font"), 20);
  EXPECT_EQ(HtmlTagNumber("Blockquote"), 53);
  EXPECT_EQ(HtmlTagNumber("BA"), 0);
  EXPECT_EQ(HtmlTagNumber("BLINK"), 0);
  EXPECT_EQ(HtmlTagNumber("SUPX"), 0);
  EXPECT_EQ(HtmlTagNumber(""), 0);
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
  auto tokens = HtmlTokenize("ab<p>c");
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(tokens[1].offset, 2u);
  EXPECT_EQ(tokens[2].offset, 5u);
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
  auto merged = HtmlTokenize("a<br>b <u>c</u>", kHtmlMergeInline);
  ASSERT_EQ(merged.size(), 3u);
  EXPECT_EQ(merged[2].text, "b <u>c</u>");
  EXPECT_EQ(merged[2].offset, 5u);
}

TEST(HtmlTokenizeTest, BothOptionsKeepSentencesApart) {
  EXPECT_EQ(Describe("One <b>a</b>. Two <i>b</i>.", kHtmlSplitSentences | kHtmlMergeInline),
            "0:One <b>a</b>.|0: Two <i>b</i>.");
}

TEST(HtmlTokenizeTest, TokensGiveTheTextBack) {
  const std::string page =
      "<!DOCTYPE html><html><head><style>b{}</style><script>x<y</script></head>"
      "<body bgcolor=\"#FFFFFF\">Caf&eacute; <b>open</b>. Now. <!-- c --> 3 < 4 &x"
      "<![CDATA[ ]]><unknown a=\"<\"> <a href='x'>";
  for (int options = 0; options < 4; ++options) {
    auto tokens = HtmlTokenize(page, options);
    EXPECT_EQ(Joined(tokens), page) << options;
    size_t offset = 0;
    for (const HtmlToken& t : tokens) {
      EXPECT_EQ(t.offset, offset);
      EXPECT_FALSE(t.text.empty());
      offset += t.text.size();
    }
  }
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
  EXPECT_EQ(Joined(tokens), big);
}

}  // namespace
}  // namespace tolmi

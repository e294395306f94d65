// Random, truncated and pathological bytes through every HTML routine: nothing may crash,
// tokens must always give the text back, and huge inputs must finish quickly.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "util/Base64.h"
#include "util/Html.h"
#include "util/HtmlColours.h"
#include "util/HtmlTokenizer.h"

namespace tolmi {
namespace {

// Random text biased towards the characters the routines care about.
std::string RandomHtml(std::mt19937& rng, size_t maxLen) {
  static const char kPieces[][12] = {
      "<",        ">",        "\"", "'",    "&",   ";",   "%",    " ",     ".",
      "/",        "!",        "-",  "<!--", "-->", "<b>", "</b>", "&amp;", "&#065;",
      "<script>", "</script", "a",  "=",    "?",   "..",  "\\",   "http:", "]]>"};
  size_t len = rng() % (maxLen + 1);
  std::string s;
  while (s.size() < len) {
    unsigned pick = rng() % 40;
    if (pick < std::size(kPieces)) {
      s += kPieces[pick];
    } else {
      s += char(rng() & 0xFF);  // any byte, NUL included
    }
  }
  return s;
}

// Where a tag starting at pos ends, found the slow way: just past the first ">" outside
// double quotes, or the end of the text.
size_t NaiveTagEnd(std::string_view text, size_t pos) {
  bool quoted = false;
  for (size_t i = pos + 1; i < text.size(); ++i) {
    if (text[i] == '"') quoted = !quoted;
    if (text[i] == '>' && !quoted) return i + 1;
  }
  return text.size();
}

void CheckTokens(std::string_view text, int options) {
  auto tokens = HtmlTokenize(text, options);
  std::string joined;
  size_t offset = 0;
  for (const HtmlToken& t : tokens) {
    ASSERT_EQ(t.offset, offset);
    ASSERT_FALSE(t.text.empty());
    offset += t.text.size();
    joined += t.text;
    if (HtmlIsTagKind(t.kind)) {
      ASSERT_EQ(t.offset + t.text.size(), NaiveTagEnd(text, t.offset)) << t.text;
    }
    // Every tag token can be asked for attributes.
    (void)TagGetAttribute(t, "href");
  }
  ASSERT_EQ(joined, text);
}

void RunAll(const std::string& text) {
  for (int options = 0; options < 4; ++options) CheckTokens(text, options);
  std::string s = text;
  HtmlDecodeEntities(s);
  EXPECT_LE(s.size(), text.size());
  s = text;
  HtmlToPlainText(s);
  EXPECT_LE(s.size(), text.size());
  s = text;
  HtmlStripTags(s);
  EXPECT_LE(s.size(), text.size());
  s = text;
  StripPercentVariables(s);
  EXPECT_LE(s.size(), text.size());
  (void)TagGetAttribute(text, "a");
  (void)ResolveLink(text, "../x.htm");
  (void)ResolveLink("http://h.example/a/b.htm", text);
  (void)ResolveLink("C:\\a\\b.htm", text);
  (void)ResolveLink(text, text);
  (void)ParseHtmlColour(text);
  (void)ColourByName(text);
  auto decoded = Base64Decode(text);
  if (decoded) {
    EXPECT_EQ(Base64Decode(Base64Encode(*decoded)), decoded);
  }
}

TEST(HtmlRobustnessTest, RandomBytes) {
  std::mt19937 rng(20261206);
  for (int i = 0; i < 3000; ++i) {
    std::string text = RandomHtml(rng, i % 10 == 0 ? 2000 : 120);
    SCOPED_TRACE(testing::PrintToString(text));
    RunAll(text);
    if (HasFatalFailure()) return;
  }
}

TEST(HtmlRobustnessTest, EveryTruncationOfAPage) {
  const std::string page =
      "<!DOCTYPE html><html><head><title>Caf&eacute; &amp; Bar</title>"
      "<style>p { color: red }</style><script>if (a<b) x(\"</p>\");</script></head>"
      "<body><!-- menu --><a href=\"http:///cat/a.htm\" title='x>y'>Tea &#233; %PRICE%</a>"
      "<![CDATA[ raw ]]><p>One. Two.</p><img src=a.gif alt=\"&quot;\"></body></html>";
  for (size_t cut = 0; cut <= page.size(); ++cut) {
    std::string text = page.substr(0, cut);
    SCOPED_TRACE(text);
    RunAll(text);
    RunAll(page.substr(cut));
    if (HasFatalFailure()) return;
  }
}

// Inputs that would take quadratic time if a scan restarted at every "<", quote or "&".
TEST(HtmlRobustnessTest, HugePathologicalInputsFinish) {
  const size_t mb = 1 << 20;
  const size_t half = mb / 2;
  const std::string inputs[] = {
      std::string(mb, '<'),
      std::string(half / 2, '"') + std::string(half / 2, '<'),
      [&] {
        std::string s;
        while (s.size() < half) s += "<x \"<";
        return s;
      }(),
      [&] {
        std::string s;
        while (s.size() < half) s += "<!--<";
        return s;
      }(),
      [&] {
        std::string s;
        while (s.size() < half) s += "&abcdefg";
        return s;
      }(),
      "<script>" + std::string(half, '<'),
      [&] {
        std::string s;
        while (s.size() < half) s += "<b>&amp;";
        return s;
      }(),
      std::string(half / 2, '%') + std::string(half / 2, '<'),
  };
  for (const std::string& text : inputs) {
    for (int options : {0, kHtmlSplitSentences | kHtmlMergeInline}) {
      auto tokens = HtmlTokenize(text, options);
      size_t total = 0;
      for (const HtmlToken& t : tokens) total += t.text.size();
      EXPECT_EQ(total, text.size());
    }
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

#include "util/Strings.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace tolmi {
namespace {

TEST(Strings, NoCaseComparisonsFoldAsciiOnly) {
  EXPECT_TRUE(EqualsNoCase("Content-Type", "content-TYPE"));
  EXPECT_FALSE(EqualsNoCase("abc", "abcd"));
  EXPECT_FALSE(EqualsNoCase("\xC4", "\xE4"));  // Latin-1 letters are not folded
  EXPECT_TRUE(StartsWithNoCase("HTTP/1.0 200", "http/"));
  EXPECT_FALSE(StartsWithNoCase("HT", "http"));
  EXPECT_TRUE(EndsWithNoCase("index.HTM", ".htm"));
  EXPECT_EQ(ToLowerAscii("AbC\xC4"), "abc\xC4");
  EXPECT_EQ(ToUpperAscii("aBc1"), "ABC1");
}

TEST(Strings, FindNoCase) {
  EXPECT_EQ(FindNoCase("abc", "", 3), 3u);
  EXPECT_EQ(FindNoCase("x1y1", "1"), 1u);  // non-letter first byte takes the fast path
  EXPECT_EQ(StrFindNoCase("<BODY>", "<body"), 0u);
  EXPECT_EQ(RFindNoCase("abcABC", "bc"), 4u);
  EXPECT_EQ(RFindNoCase("ab", "abc"), kNotFound);
}

TEST(Strings, FindAgreesWithANaiveSearchForShortAndLongNeedles) {
  std::mt19937 rng(5);
  for (int round = 0; round < 400; ++round) {
    std::string text;
    std::string sub;
    const std::size_t textLen = rng() % 200;
    const std::size_t subLen = 1 + rng() % 60;  // both sides of the long-needle switch
    for (std::size_t i = 0; i < textLen; ++i) text.push_back("aAb"[rng() % (round % 2 ? 3 : 2)]);
    for (std::size_t i = 0; i < subLen; ++i) sub.push_back("aAb"[rng() % (round % 2 ? 3 : 2)]);
    if (round % 3 == 0 && textLen > subLen) sub = text.substr(rng() % (textLen - subLen), subLen);
    const std::size_t from = rng() % (textLen + 2);
    const std::string lowText = ToLowerAscii(text);
    const std::string lowSub = ToLowerAscii(sub);
    EXPECT_EQ(FindNoCase(text, sub, from), lowText.find(lowSub, from)) << text << " / " << sub;
    EXPECT_EQ(FindExact(text, sub, from), text.find(sub, from)) << text << " / " << sub;
  }
  EXPECT_EQ(FindExact("abc", "", 2), 2u);
  EXPECT_EQ(FindExact("abc", "c", 4), kNotFound);
}

TEST(Strings, ReplaceAllNeverRescansInsertedText) {
  std::string s = "aaa";
  EXPECT_EQ(ReplaceAll(s, "a", "aa"), 3);
  EXPECT_EQ(s, "aaaaaa");

  EXPECT_EQ(ReplaceAll(s, "", "y"), 0);
  EXPECT_EQ(s, "aaaaaa");
  EXPECT_EQ(ReplaceAll(s, "aa", ""), 3);
  EXPECT_EQ(s, "");

  s = "[name] and [NAME] and [Name]";
  EXPECT_EQ(ReplaceAllNoCase(s, "[name]", "Bob"), 3);
  EXPECT_EQ(s, "Bob and Bob and Bob");

  // The arguments may point into the text itself.
  s = "xyxy";
  std::string_view view = s;
  EXPECT_EQ(ReplaceAll(s, view.substr(0, 1), view.substr(0, 2)), 2);
  EXPECT_EQ(s, "xyyxyy");
}

TEST(Strings, ReplaceFirstAndLastReturnThePositionAfterTheInsertion) {
  std::string s = "one two one";
  EXPECT_EQ(StrReplaceFirst(s, "one", "1"), 1u);
  EXPECT_EQ(s, "1 two one");
  EXPECT_EQ(StrReplaceLast(s, "one", "three"), 11u);
  EXPECT_EQ(s, "1 two three");
  EXPECT_EQ(StrReplaceFirstNoCase(s, "TWO", "2"), 3u);
  EXPECT_EQ(s, "1 2 three");
  EXPECT_EQ(StrReplaceFirst(s, "", "4"), kNotFound);
  EXPECT_TRUE(ReplaceFirst(s, "three", "3"));
  EXPECT_TRUE(ReplaceLast(s, " ", "_"));
  EXPECT_TRUE(ReplaceFirstNoCase(s, "1 ", ""));
  EXPECT_EQ(s, "2_3");
  EXPECT_FALSE(ReplaceLast(s, "9", "_"));

  // A search from a position, as a caller stepping through a page does; text that a
  // replacement inserted is not revisited when stepping on from the returned position.
  s = "x x x";
  std::size_t at = StrReplaceFirst(s, "x", "[x]");
  ASSERT_EQ(at, 3u);
  at = StrReplaceFirst(s, "x", "[x]", at);
  EXPECT_EQ(s, "[x] [x] x");
  EXPECT_EQ(StrReplaceFirstNoCase(s, "X", "y", at), 9u);
  EXPECT_EQ(s, "[x] [x] y");
  EXPECT_EQ(StrReplaceFirst(s, "x", "z", 100), kNotFound);

  // The new text may be a view into the buffer itself.
  s = "ab";
  std::string_view self = s;
  EXPECT_EQ(StrReplaceFirst(s, "b", self), 3u);
  EXPECT_EQ(s, "aab");
}

TEST(Strings, CopyAndAppendUntil) {
  std::string dst = "old";
  EXPECT_EQ(StrCopyN(dst, "abcdef", 3), "abc");
  EXPECT_EQ(StrCopyN(dst, "ab", 10), "ab");
  EXPECT_EQ(StrCopyN(dst, "ab", -1), "");
  EXPECT_EQ(StrCopyUntil(dst, "key=value", '='), "key");
  EXPECT_EQ(StrCopyUntil(dst, "novalue", '='), "novalue");
  EXPECT_EQ(StrCopyUntil(dst, "=x", '='), "");
  EXPECT_EQ(StrCopyUntilN(dst, "key=value", '=', 2), "ke");
  EXPECT_EQ(StrAppendUntil(dst, "y;z", ';'), "key");
  EXPECT_EQ(StrCountChar("a,b,,c", ','), 3u);
}

TEST(Strings, QuotedRuns) {
  EXPECT_EQ(StrFindOutsideQuotes("a \"b,c\" ,d", ','), 8u);
  EXPECT_EQ(StrFindOutsideQuotes("'x,\"y' ,", ','), 7u);
  EXPECT_EQ(StrFindOutsideQuotes("\"never closed,", ','), kNotFound);
  EXPECT_EQ(StrFindOutsideQuotes("say \"hi\"", '"'), 4u);
  EXPECT_EQ(StrCountOutsideQuotes("a,'b,c',d,\"e,f\"", ','), 3u);

  EXPECT_EQ(StrExtractAfter("name=value;rest", '=', ';'), "value");
  EXPECT_EQ(StrExtractAfter("name=value", '=', ';'), "value");
  EXPECT_EQ(StrExtractAfter("name", '=', ';'), std::nullopt);
  EXPECT_EQ(StrExtractAfterOutsideQuotes("x=\"a;b\";c", '=', ';'), "\"a;b\"");
  EXPECT_EQ(StrExtractAfter("x=\"a;b\";c", '=', ';'), "\"a");
}

TEST(Strings, Trims) {
  struct Case {
    std::string& (*trim)(std::string&);
    const char* in;
    const char* out;
  } cases[] = {
      {StrTrimSpaces, "  a b  ", "a b"},
      {StrTrimSpaces, "    ", ""},
      {StrTrimSpaces, " \r\n", "\r\n"},
      {StrTrimNewlines, "line\r\n\n", "line"},
      {StrTrimNewlines, "\n\n", "\n"},  // the first character always stays
      {StrTrimNewlines, "a \r\n", "a "},
      {StrTrimRightWhite, "\t x \r\n ", "\t x"},
      {StrTrimWhite, " \r\n\tx\t \n", "\tx\t"},
      {StrTrimWhite, " \r\n ", ""},
      {StrTrimRightWhite, "", ""},
  };
  for (const Case& c : cases) {
    std::string s = c.in;
    EXPECT_EQ(c.trim(s), c.out) << c.in;
  }
}

TEST(Strings, ListContainsAnswersLikeAComparison) {
  EXPECT_EQ(StrListContains("gif", "jpg,gif,png"), 0);
  EXPECT_EQ(StrListContains("GIF", "jpg,gif,png"), 1);
  EXPECT_EQ(StrListContainsNoCase("GIF", "jpg,gif,png"), 0);
  EXPECT_EQ(StrListContains("gi", "jpg,gif,png"), 1);
  EXPECT_EQ(StrListContains("png", "png"), 0);
  EXPECT_EQ(StrListContains(" gif", "jpg, gif"), 0);  // elements are not trimmed
}

TEST(Strings, WildcardMatch) {
  EXPECT_TRUE(StrWildcardMatch("index.htm", "*.HTM"));
  EXPECT_TRUE(StrWildcardMatch("ab", "a?"));
  EXPECT_TRUE(StrWildcardMatch("a", "a?"));  // "?" at the end of the text takes nothing
  EXPECT_TRUE(StrWildcardMatch("", "*"));
  EXPECT_TRUE(StrWildcardMatch("Photo12.JPG", "photo??.jpg"));
  EXPECT_FALSE(StrWildcardMatch("abc", "a*x"));
  EXPECT_TRUE(StrWildcardMatch("abxc", "a*x?"));
  // No backtracking: the run after "*" is taken at its first occurrence.
  EXPECT_FALSE(StrWildcardMatch("a.htm.htm", "*.htm"));
  EXPECT_TRUE(StrWildcardMatch("a.htm.htm", "*.htm*"));
  // Runs longer than the matcher's cut still match.
  const std::string run(1200, 'q');
  EXPECT_TRUE(StrWildcardMatch(run, run));
  EXPECT_TRUE(StrWildcardMatch("x" + run, "*" + run));
  EXPECT_FALSE(StrWildcardMatch(run, run + "q"));
}

TEST(Strings, PatternListSplitsOnCommaElseSemicolon) {
  EXPECT_TRUE(StrMatchPatternList("pic.gif", "*.jpg,*.gif"));
  EXPECT_TRUE(StrMatchPatternList("pic.gif", "*.jpg;*.gif"));
  EXPECT_FALSE(StrMatchPatternList("pic.gif", "*.jpg;*.gif,*.png"));  // comma wins
  EXPECT_FALSE(StrMatchPatternList("pic.bmp", "*.jpg,*.gif"));
}

TEST(Strings, UrlEncode) {
  std::string s = "a b&c Az09*.-_/~%+\xE9\x01";
  EXPECT_EQ(UrlEncode(s), "a+b%26c+Az09*.-_%2F%7E%25%2B%E9%01");
}

TEST(Strings, NewlineEncoding) {
  EXPECT_EQ(EncodeNewlines("a\r\nb\nc\rd"), "a@@@b@@@c@@@d");
  EXPECT_EQ(EncodeNewlines("\r\r\n\n\r"), "@@@@@@@@@@@@");
  std::string s = "a@@@b@@@@c";
  EXPECT_EQ(DecodeNewlines(s), "a\r\nb\r\n@c");
}

TEST(Strings, PathToUrlPath) {
  for (auto [in, out] :
       std::vector<std::pair<std::string, std::string>>{{"C:\\\\web\\\\x", "/web/x"},
                                                        {"C:\\web\\a.htm", "/web/a.htm"},
                                                        {"img\\\\\\pic.gif", "img/pic.gif"},
                                                        {"//shop//", "/shop/"},
                                                        {"1:x", "1:x"},
                                                        {"", ""}}) {
    EXPECT_EQ(PathToUrlPath(in), out);
  }
}

TEST(Strings, NumbersAndHex) {
  EXPECT_EQ(IntToText(0), "0");
  EXPECT_EQ(IntToText(-2147483647 - 1), "-2147483648");
  EXPECT_EQ(FloatToText(3.14159, 2), "3.14");
  EXPECT_EQ(FloatToText(2.5, 0), "2");  // round half to even, as printf does
  EXPECT_EQ(FloatToText(-0.125, 3), "-0.125");
  EXPECT_EQ(FloatToText(1.0, -4), "1");
  EXPECT_EQ(FloatToText(1e300, 2).size(), 304u);  // longer than any fixed buffer
  EXPECT_EQ(HexPairToInt('4', 'a'), 0x4A);
  EXPECT_EQ(HexPairToInt('F', 'f'), 255);
  EXPECT_EQ(HexPairToInt('g', '0'), -1);
  EXPECT_EQ(HexPairToInt('0', '\0'), -1);
  EXPECT_EQ(DollarToNul("File (*.*)$*.*$$"), std::string("File (*.*)\0*.*\0\0", 16));
}

}  // namespace
}  // namespace tolmi

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

TEST(Strings, ReplaceFirstTakesTheFirstOnly) {
  std::string s = "one two one";
  EXPECT_TRUE(ReplaceFirst(s, "one", "1"));
  EXPECT_EQ(s, "1 two one");
  EXPECT_FALSE(ReplaceFirst(s, "", "4"));
  EXPECT_FALSE(ReplaceFirst(s, "9", "_"));
  EXPECT_EQ(s, "1 two one");
  // The new text may be a view into the buffer itself.
  s = "ab";
  std::string_view self = s;
  EXPECT_TRUE(ReplaceFirst(s, "b", self));
  EXPECT_EQ(s, "aab");
  EXPECT_EQ(StrCountOutsideQuotes("a,'b,c',d,\"e,f\"", ','), 3u);
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

TEST(Strings, UrlEncode) {
  std::string s = "a b&c Az09*.-_/~%+\xE9\x01";
  EXPECT_EQ(UrlEncode(s), "a+b%26c+Az09*.-_%2F%7E%25%2B%E9%01");
}

TEST(Strings, NewlineEncoding) {
  EXPECT_EQ(EncodeNewlines("a\r\nb\nc\rd"), "a@@@b@@@c@@@d");
  EXPECT_EQ(EncodeNewlines("\r\r\n\n\r"), "@@@@@@@@@@@@");
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
  EXPECT_EQ(HexPairToInt('4', 'a'), 0x4A);
  EXPECT_EQ(HexPairToInt('F', 'f'), 255);
  EXPECT_EQ(HexPairToInt('g', '0'), -1);
  EXPECT_EQ(HexPairToInt('0', '\0'), -1);
}

}  // namespace
}  // namespace tolmi

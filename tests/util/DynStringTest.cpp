#include "util/DynString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "util/Strings.h"

namespace tolmi {
namespace {

// Text, recorded length and capacity in one comparison.
void ExpectState(const DynString& s, std::string_view text, std::int32_t capacity) {
  EXPECT_FALSE(s.IsNull());
  EXPECT_EQ(s.View(), text);
  EXPECT_EQ(s.Length(), text.size());
  EXPECT_EQ(s.Capacity(), capacity);
  EXPECT_EQ(std::string(s.CStr()), std::string(text));  // NUL right after the text
}

TEST(DynString, NullIsDistinctFromAllocatedEmpty) {
  DynString s;
  EXPECT_TRUE(s.IsNull());
  EXPECT_EQ(s.Capacity(), 0);
  EXPECT_EQ(s.Length(), 0u);
  EXPECT_STREQ(s.CStr(), "");
  EXPECT_EQ(s.Data(), nullptr);

  EXPECT_TRUE(DynStrAssign(s, static_cast<const char*>(nullptr)));
  ExpectState(s, "", 0);
  DynStrFree(s);
  EXPECT_TRUE(s.IsNull());
  DynStrFree(s);  // freeing a null string is harmless
  EXPECT_TRUE(s.IsNull());
}

TEST(DynString, AllocAndReserve) {
  DynString s = DynStrAlloc(10);
  ExpectState(s, "", 10);
  EXPECT_TRUE(DynStrAlloc(-1).IsNull());
  EXPECT_TRUE(DynStrAlloc(kDynStrMaxCapacity + 1).IsNull());

  DynString none;
  EXPECT_FALSE(DynStrReserve(none, 5));
  EXPECT_TRUE(none.IsNull());

  EXPECT_TRUE(DynStrAssign(s, "abc"));
  EXPECT_TRUE(DynStrReserve(s, 20));
  ExpectState(s, "abc", 20);
  EXPECT_TRUE(DynStrReserve(s, 3));
  ExpectState(s, "abc", 3);
  EXPECT_FALSE(DynStrReserve(s, 2));  // would cut the text
  EXPECT_FALSE(DynStrReserve(s, -4));
  ExpectState(s, "abc", 3);
}

TEST(DynString, AssignGrowsToExactFitAndNeverShrinks) {
  DynString s;
  DynStrAssign(s, "hello");
  ExpectState(s, "hello", 5);
  DynStrAssign(s, "hi");
  ExpectState(s, "hi", 5);
  DynStrAssign(s, "greetings");
  ExpectState(s, "greetings", 9);
  DynStrAssign(s, std::string_view("ab\0c", 4));
  EXPECT_EQ(s.Length(), 4u);
  EXPECT_EQ(s.View(), std::string_view("ab\0c", 4));
}

TEST(DynString, AssignNAndUntil) {
  DynString s;
  EXPECT_TRUE(DynStrAssignN(s, nullptr, 3));
  EXPECT_TRUE(s.IsNull());
  EXPECT_TRUE(DynStrAssignN(s, "abc", 0));
  EXPECT_TRUE(s.IsNull());
  DynStrAssignN(s, "abcdef", 3);
  ExpectState(s, "abc", 3);
  DynStrAssignN(s, "xy", 10);
  ExpectState(s, "xy", 3);

  // n = 0 empties the string; the next append writes at position 0.
  DynStrAssign(s, "hello");
  DynStrAssignN(s, "abc", 0);
  ExpectState(s, "", 5);
  DynStrAppend(s, "xy");
  ExpectState(s, "xy", 5);

  DynString u;
  EXPECT_TRUE(DynStrAssignUntil(u, "key=value", '='));
  ExpectState(u, "key", 3);
  EXPECT_TRUE(DynStrAssignUntil(u, "plain", '='));
  ExpectState(u, "plain", 5);
  EXPECT_TRUE(DynStrAssignUntil(u, "=x", '='));
  ExpectState(u, "", 5);
  EXPECT_TRUE(DynStrAssignUntilN(u, "key=value", '=', 2));
  ExpectState(u, "ke", 5);
  EXPECT_FALSE(DynStrAssignUntil(u, nullptr, '='));
  EXPECT_FALSE(DynStrAssignUntilN(u, nullptr, '=', 4));
  ExpectState(u, "ke", 5);
}

TEST(DynString, AppendCapacities) {
  DynString s;
  DynStrAppend(s, "abc");
  ExpectState(s, "abc", 4);  // first append onto null: one spare character

  DynString t;
  DynStrAppend(t, static_cast<const char*>(nullptr));
  EXPECT_TRUE(t.IsNull());
  DynStrAssign(t, "ab");
  DynStrAppend(t, "cd");
  ExpectState(t, "abcd", 4);
  DynStrAppendN(t, "xyz", 2);
  ExpectState(t, "abcdxy", 7);
  DynStrAppendUntil(t, "q;r", ';');
  ExpectState(t, "abcdxyq", 7);
  DynStrAppendUntil(t, "st", ';');
  ExpectState(t, "abcdxyqst", 9);
  DynStrAppendN(t, "zz", 0);
  ExpectState(t, "abcdxyqst", 9);
  DynStrAppend(t, std::string_view("!"));
  ExpectState(t, "abcdxyqst!", 10);

  DynString u;
  DynStrAppendUntil(u, "ab;c", ';');
  ExpectState(u, "ab", 2);
  DynString v;
  DynStrAppendN(v, "abcdef", 4);
  ExpectState(v, "abcd", 5);
}

TEST(DynString, TextPointingIntoItselfSurvivesGrowth) {
  DynString s;
  DynStrAssign(s, "abcd");
  DynStrAppend(s, s.CStr());
  ExpectState(s, "abcdabcd", 8);
  DynStrAssign(s, s.CStr() + 2);
  ExpectState(s, "cdabcd", 8);
  DynStrReplace(s, "cd", s.CStr());
  EXPECT_EQ(s.View(), "cdabcdabcd");
  EXPECT_EQ(DynStrReplaceAll(s, "ab", s.CStr()), 2);
  EXPECT_EQ(s.View(), "cdcdabcdabcdcdcdabcdabcdcd");
}

TEST(DynString, ReplaceOne) {
  DynString s;
  DynStrAssign(s, "hello world");
  EXPECT_EQ(DynStrReplace(s, "world", "there"), 11u);
  ExpectState(s, "hello there", 12);  // grows to length + 0 + 1 before searching
  EXPECT_EQ(DynStrReplace(s, "l", nullptr), 2u);
  ExpectState(s, "helo there", 12);
  EXPECT_EQ(DynStrReplaceNoCase(s, "HELO", "Hi"), 2u);
  ExpectState(s, "Hi there", 12);
  EXPECT_EQ(DynStrReplaceLast(s, "e", "E"), 8u);
  ExpectState(s, "Hi therE", 12);

  EXPECT_EQ(DynStrReplace(s, "zzz", "y"), kNotFound);
  EXPECT_EQ(DynStrReplace(s, "", "y"), kNotFound);
  EXPECT_EQ(DynStrReplace(s, nullptr, "y"), kNotFound);
  ExpectState(s, "Hi therE", 12);

  DynString none;
  EXPECT_EQ(DynStrReplace(none, "a", "b"), kNotFound);
  EXPECT_TRUE(none.IsNull());
  DynString empty = DynStrAlloc(0);
  EXPECT_EQ(DynStrReplace(empty, "a", "b"), kNotFound);
  ExpectState(empty, "", 0);
}

TEST(DynString, ReplaceAllNeverSearchesInsertedText) {
  DynString s;
  DynStrAssign(s, "aaa");
  EXPECT_EQ(DynStrReplaceAll(s, "a", "aa"), 3);
  ExpectState(s, "aaaaaa", 7);

  DynStrAssign(s, "abc");
  EXPECT_EQ(DynStrReplaceAll(s, "x", "y"), 0);
  ExpectState(s, "abc", 7);

  DynString t;
  DynStrAssign(t, "abc");
  EXPECT_EQ(DynStrReplaceAll(t, "x", "yy"), 0);
  ExpectState(t, "abc", 5);  // grown before the search, as each pass does

  DynStrAssign(t, "a-b-c");
  EXPECT_EQ(DynStrReplaceAll(t, "-", nullptr), 2);
  ExpectState(t, "abc", 5);
  EXPECT_EQ(DynStrReplaceAll(t, "", "x"), 0);
  EXPECT_EQ(DynStrReplaceAll(t, nullptr, "x"), 0);
  ExpectState(t, "abc", 5);

  DynStrAssign(t, "[Var] [VAR] [var]");
  EXPECT_EQ(DynStrReplaceAllNoCase(t, "[var]", "1"), 3);
  EXPECT_EQ(t.View(), "1 1 1");

  DynString none;
  EXPECT_EQ(DynStrReplaceAll(none, "a", "b"), 0);
  EXPECT_TRUE(none.IsNull());
}

TEST(DynString, ReplaceAllCapacityFollowsStepwiseGrowth) {
  // "ab" -> "abcd" in "ababab": length 6, d = 2. Checks: 5 < 8 -> 9; 9 < 10 -> 11;
  // 11 < 12 -> 13; final check 13 < 14 -> 15.
  DynString s;
  DynStrAssign(s, "ababab");
  EXPECT_TRUE(DynStrReserve(s, 5) == false);  // below the length
  EXPECT_EQ(DynStrReplaceAll(s, "ab", "abcd"), 3);
  ExpectState(s, "abcdabcdabcd", 15);
}

TEST(DynString, ReplaceAllManyIsCorrectAtScale) {
  DynString s;
  DynStrAssign(s, std::string(200000, 'a'));
  EXPECT_EQ(DynStrReplaceAll(s, "a", "bc"), 200000);
  EXPECT_EQ(s.Length(), 400000u);
  EXPECT_EQ(s.View().find('a'), std::string_view::npos);
  EXPECT_GE(s.Capacity(), 400000);
}

TEST(DynString, TruncateAtLastAndSyncLength) {
  DynString s;
  DynStrAssign(s, "C:\\web\\shop");
  EXPECT_TRUE(DynStrTruncateAtLast(s, '\\'));
  ExpectState(s, "C:\\web", 11);
  EXPECT_FALSE(DynStrTruncateAtLast(s, '/'));
  ExpectState(s, "C:\\web", 11);
  DynString none;
  EXPECT_FALSE(DynStrTruncateAtLast(none, 'a'));

  DynStrAssign(s, "hello");
  s.Data()[2] = '\0';
  EXPECT_EQ(s.Length(), 5u);  // as last recorded
  EXPECT_EQ(DynStrSyncLength(s), 2u);
  ExpectState(s, "he", 11);
  DynStrAppend(s, "y");
  ExpectState(s, "hey", 11);

  // An edit that fills the whole block still syncs within it.
  DynString full = DynStrAlloc(4);
  std::memcpy(full.Data(), "wxyz", 4);
  EXPECT_EQ(DynStrSyncLength(full), 4u);
  ExpectState(full, "wxyz", 4);
  EXPECT_EQ(DynStrSyncLength(none), 0u);
}

TEST(DynString, Printf) {
  DynString s;
  EXPECT_EQ(DynStrPrintf(s, "%s=%d", "count", 42), 8);
  ExpectState(s, "count=42", 8);
  EXPECT_EQ(DynStrPrintf(s, "%s", ""), 0);
  ExpectState(s, "", 8);

  const std::string long5000(5000, 'x');
  EXPECT_EQ(DynStrPrintf(s, "%s", long5000.c_str()), 5000);
  ExpectState(s, long5000, 5000);
  EXPECT_EQ(DynStrPrintf(s, "%1023d|", 7), 1024);  // just past the first scratch size
  EXPECT_EQ(s.Length(), 1024u);
  EXPECT_EQ(s.View().substr(1020), "  7|");
}

TEST(DynString, CopiesAreDeepAndMovesLeaveNull) {
  DynString a;
  DynStrAppend(a, "abc");
  DynString b = a;
  DynStrAppend(b, "d");
  ExpectState(a, "abc", 4);
  ExpectState(b, "abcd", 4);
  a = b;
  ExpectState(a, "abcd", 4);
  DynString c = std::move(a);
  ExpectState(c, "abcd", 4);
  EXPECT_TRUE(a.IsNull());  // NOLINT(bugprone-use-after-move)
  DynString nullCopy = DynString();
  EXPECT_TRUE(nullCopy.IsNull());
  b = nullCopy;
  EXPECT_TRUE(b.IsNull());
}

TEST(DynString, RandomEditsAgreeWithStdString) {
  std::mt19937 rng(2024);
  const char* pieces[] = {"a", "b", "ab", "ba", "aa", "", "xyz"};
  for (int round = 0; round < 300; ++round) {
    DynString s;
    std::string expected;
    for (int step = 0; step < 12; ++step) {
      const char* p = pieces[rng() % 7];
      const char* q = pieces[rng() % 7];
      switch (rng() % 4) {
        case 0:
          DynStrAppend(s, p);
          expected += p;
          break;
        case 1: {
          const int count = DynStrReplaceAll(s, p, q);
          const int expectedCount = ReplaceAll(expected, p, q);
          EXPECT_EQ(count, expectedCount);
          break;
        }
        case 2:
          if (DynStrReplace(s, p, q) != kNotFound) ReplaceFirst(expected, p, q);
          break;
        case 3:
          if (DynStrReplaceLast(s, p, q) != kNotFound) ReplaceLast(expected, p, q);
          break;
      }
      ASSERT_EQ(s.View(), expected);
      ASSERT_LE(static_cast<std::int64_t>(s.Length()), s.Capacity());
      ASSERT_EQ(s.CStr()[s.Length()], '\0');
    }
  }
}

}  // namespace
}  // namespace tolmi

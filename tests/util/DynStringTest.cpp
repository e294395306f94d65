#include "util/DynString.h"

#include <gtest/gtest.h>

#include <string>

#include "util/Strings.h"

namespace tolmi {
namespace {

constexpr std::int32_t kNull = -1;  // expected capacity of a string that must still be null
constexpr long long kNone = static_cast<long long>(kNotFound);

DynString Made(const char* text) {
  DynString s;
  DynStrAssign(s, text);
  return s;
}

struct Row {
  std::string_view op;
  const char* start;  // nullptr: a null string; else assigned (exact fit), then grown to room
  std::int32_t room;
  const char* a;
  const char* b;
  int n;
  long long result;
  std::string_view text;
  std::int32_t capacity;  // kNull: still null
};

long long Apply(const Row& r, DynString& s) {
  const std::string_view op = r.op;
  if (op == "alloc") return (s = DynStrAlloc(r.n)).IsNull();
  if (op == "reserve") return DynStrReserve(s, r.n);
  if (op == "assign") return DynStrAssign(s, r.a);
  if (op == "assignN") return DynStrAssignN(s, r.a, r.n);
  if (op == "until") return DynStrAssignUntil(s, r.a, *r.b);
  if (op == "untilN") return DynStrAssignUntilN(s, r.a, *r.b, r.n);
  if (op == "append") return DynStrAppend(s, r.a);
  if (op == "appendN") return DynStrAppendN(s, r.a, r.n);
  if (op == "appendUntil") return DynStrAppendUntil(s, r.a, *r.b);
  if (op == "replace") return DynStrReplace(s, r.a, r.b);
  if (op == "replaceNoCase") return DynStrReplaceNoCase(s, r.a, r.b);
  if (op == "replaceLast") return DynStrReplaceLast(s, r.a, r.b);
  if (op == "replaceAll") return DynStrReplaceAll(s, r.a, r.b);
  if (op == "replaceAllNoCase") return DynStrReplaceAllNoCase(s, r.a, r.b);
  if (op == "truncate") return DynStrTruncateAtLast(s, *r.a);
  if (op == "printf") return DynStrPrintf(s, "%s=%d", r.a, r.n);
  s.Data()[r.n] = '\0';  // "sync": an in-place edit
  return DynStrSyncLength(s);
}

// One behaviour per row: the result, and the text and exact capacity after it (growth is
// exact-fit and never shrinks).
TEST(DynString, OperationsGiveExactTextAndCapacity) {
  const Row rows[] = {
      {"assign", nullptr, 0, nullptr, nullptr, 0, 1, "", 0},  // a null text allocates
      {"alloc", nullptr, 0, nullptr, nullptr, 10, 0, "", 10},
      {"alloc", nullptr, 0, nullptr, nullptr, -1, 1, "", kNull},
      {"alloc", nullptr, 0, nullptr, nullptr, kDynStrMaxCapacity + 1, 1, "", kNull},
      {"reserve", nullptr, 0, nullptr, nullptr, 5, 0, "", kNull},
      {"reserve", "abc", 0, nullptr, nullptr, 20, 1, "abc", 20},
      {"reserve", "abc", 20, nullptr, nullptr, 3, 1, "abc", 3},
      {"reserve", "abc", 0, nullptr, nullptr, 2, 0, "abc", 3},  // would cut the text
      {"assign", "hello", 0, "hi", nullptr, 0, 1, "hi", 5},
      {"assign", "hello", 0, "greetings", nullptr, 0, 1, "greetings", 9},
      {"assignN", nullptr, 0, nullptr, nullptr, 3, 1, "", kNull},
      {"assignN", "hello", 0, "abc", nullptr, 0, 1, "", 5},
      {"assignN", nullptr, 0, "abcdef", nullptr, 3, 1, "abc", 3},
      {"assignN", "abc", 0, "xy", nullptr, 10, 1, "xy", 3},
      {"until", nullptr, 0, "key=value", "=", 0, 1, "key", 3},
      {"until", nullptr, 0, "plain", "=", 0, 1, "plain", 5},
      {"until", "hello", 0, "=x", "=", 0, 1, "", 5},
      {"untilN", "hello", 0, "key=value", "=", 2, 1, "ke", 5},
      {"until", "ke", 0, nullptr, "=", 0, 0, "ke", 2},
      {"append", nullptr, 0, "abc", nullptr, 0, 1, "abc", 4},  // onto null: one spare
      {"append", nullptr, 0, nullptr, nullptr, 0, 1, "", kNull},
      {"append", "ab", 0, "cd", nullptr, 0, 1, "abcd", 4},
      {"append", "", 5, "xy", nullptr, 0, 1, "xy", 5},
      {"appendN", "abcd", 0, "xyz", nullptr, 2, 1, "abcdxy", 7},
      {"appendN", "ab", 0, "zz", nullptr, 0, 1, "ab", 2},
      {"appendN", nullptr, 0, "abcdef", nullptr, 4, 1, "abcd", 5},
      {"appendUntil", "abcdxy", 7, "q;r", ";", 0, 1, "abcdxyq", 7},
      {"appendUntil", nullptr, 0, "ab;c", ";", 0, 1, "ab", 2},
      {"replace", "hello world", 0, "world", "there", 0, 11, "hello there", 12},
      {"replace", "hello", 0, "l", nullptr, 0, 2, "helo", 5},
      {"replaceNoCase", "helo there", 0, "HELO", "Hi", 0, 2, "Hi there", 10},
      {"replaceLast", "there", 0, "e", "E", 0, 5, "therE", 6},
      {"replace", "abc", 0, "zz", "y", 0, kNone, "abc", 3},
      {"replace", "abc", 0, "", "y", 0, kNone, "abc", 3},
      {"replace", "abc", 0, nullptr, "y", 0, kNone, "abc", 3},
      {"replace", nullptr, 0, "a", "b", 0, kNone, "", kNull},
      {"replace", "", 0, "a", "b", 0, kNone, "", 0},
      {"replaceAll", "aaa", 0, "a", "aa", 0, 3, "aaaaaa", 7},  // inserted text not searched
      {"replaceAll", "abc", 0, "x", "yy", 0, 0, "abc", 5},     // grown before the search
      {"replaceAll", "a-b-c", 0, "-", nullptr, 0, 2, "abc", 5},
      {"replaceAll", "abc", 0, "", "x", 0, 0, "abc", 3},
      {"replaceAll", "abc", 0, nullptr, "x", 0, 0, "abc", 3},
      {"replaceAll", nullptr, 0, "a", "b", 0, 0, "", kNull},
      // "ab" -> "abcd" in "ababab": 5 < 8 -> 9; 9 < 10 -> 11; 11 < 12 -> 13; 13 < 14 -> 15.
      {"replaceAll", "ababab", 0, "ab", "abcd", 0, 3, "abcdabcdabcd", 15},
      {"replaceAllNoCase", "[Var] [VAR] [var]", 0, "[var]", "1", 0, 3, "1 1 1", 17},
      {"truncate", "C:\\web\\shop", 0, "\\", nullptr, 0, 1, "C:\\web", 11},
      {"truncate", "C:\\web", 0, "/", nullptr, 0, 0, "C:\\web", 6},
      {"truncate", nullptr, 0, "a", nullptr, 0, 0, "", kNull},
      {"sync", "hello", 0, nullptr, nullptr, 2, 2, "he", 5},
      {"sync", "wxyz", 0, nullptr, nullptr, 4, 4, "wxyz", 4},  // the NUL after a full block
      {"printf", nullptr, 0, "count", nullptr, 42, 8, "count=42", 8},
      {"printf", "long text here", 0, "", nullptr, 7, 2, "=7", 14},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << "row " << (&r - rows) << ": " << r.op);
    DynString s;
    if (r.start) s = Made(r.start);
    if (r.room) DynStrReserve(s, r.room);
    EXPECT_EQ(Apply(r, s), r.result);
    EXPECT_EQ(s.IsNull(), r.capacity == kNull);
    EXPECT_EQ(s.View(), r.text);
    EXPECT_EQ(s.Capacity(), r.capacity == kNull ? 0 : r.capacity);
    EXPECT_EQ(std::string(s.CStr()), std::string(r.text));  // NUL right after the text
  }
  DynString s = Made("hey");
  s.Data()[1] = '\0';
  DynStrSyncLength(s);
  DynStrAppend(s, "i");  // appends at the synced length
  EXPECT_EQ(s.View(), "hi");
  DynStrAssign(s, std::string_view("ab\0c", 4));
  EXPECT_EQ(s.View(), std::string_view("ab\0c", 4));
}

TEST(DynString, NullFreeAndLongFormats) {
  DynString s;
  EXPECT_STREQ(s.CStr(), "");
  EXPECT_EQ(s.Data(), nullptr);
  DynStrAssign(s, "x");
  DynStrFree(s);
  EXPECT_TRUE(s.IsNull());
  DynStrFree(s);  // freeing a null string is harmless
  const std::string long5000(5000, 'x');
  EXPECT_EQ(DynStrPrintf(s, "%s", long5000.c_str()), 5000);
  EXPECT_EQ(s.View(), long5000);
  EXPECT_EQ(DynStrPrintf(s, "%1023d|", 7), 1024);  // just past the first scratch size
  EXPECT_EQ(s.View().substr(1020), "  7|");
}

TEST(DynString, TextPointingIntoItselfSurvivesGrowth) {
  DynString s = Made("abcd");
  DynStrAppend(s, s.CStr());
  EXPECT_EQ(s.View(), "abcdabcd");
  DynStrAssign(s, s.CStr() + 2);
  EXPECT_EQ(s.View(), "cdabcd");
  DynStrReplace(s, "cd", s.CStr());
  EXPECT_EQ(s.View(), "cdabcdabcd");
  EXPECT_EQ(DynStrReplaceAll(s, "ab", s.CStr()), 2);
  EXPECT_EQ(s.View(), "cdcdabcdabcdcdcdabcdabcdcd");
}

TEST(DynString, CopiesAreDeepAndMovesLeaveNull) {
  DynString a;
  DynStrAppend(a, "abc");
  DynString b = a;
  DynStrAppend(b, "d");
  EXPECT_EQ(a.View(), "abc");
  a = b;
  EXPECT_EQ(a.View(), "abcd");
  EXPECT_EQ(a.Capacity(), 4);
  DynString c = std::move(a);
  EXPECT_EQ(c.View(), "abcd");
  EXPECT_TRUE(a.IsNull());  // NOLINT(bugprone-use-after-move)
  b = DynString();
  EXPECT_TRUE(b.IsNull());
}

}  // namespace
}  // namespace tolmi

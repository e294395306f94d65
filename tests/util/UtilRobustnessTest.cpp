// Random input through the line reader and the date reader: they must answer, never crash or
// hang (the settings readers have fuzz targets).
#include <gtest/gtest.h>

#include <random>

#include "util/Dates.h"
#include "util/Files.h"
#include "util/PumpMessages.h"

namespace tolmi {
namespace {

std::string RandomBytes(std::mt19937& rng, std::size_t n) {
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng() & 0xFF);
  return s;
}

TEST(UtilRobustness, LineReaderKeepsEveryByteOfRandomInput) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    std::string bytes = RandomBytes(rng, rng() % 5000);
    // Mostly text with some line ends so that all paths run.
    for (char& c : bytes)
      if (rng() % 3 == 0) c = "\r\n \0a"[rng() % 5];
    std::size_t limit = 1 + rng() % 64;
    LineReader reader(bytes, limit);
    std::string line, joined;
    std::size_t count = 0;
    while (reader.NextRaw(line)) {
      ASSERT_LE(line.size(), limit + 2);
      joined += line;
      ASSERT_LT(++count, bytes.size() + 2);
    }
    // Only the NUL bytes at the start of lines are dropped.
    std::string withoutNul, joinedWithoutNul;
    for (char c : bytes)
      if (c != '\0') withoutNul += c;
    for (char c : joined)
      if (c != '\0') joinedWithoutNul += c;
    EXPECT_TRUE(withoutNul == joinedWithoutNul);
  }
}

TEST(UtilRobustness, DatePatternTakesRandomText) {
  std::mt19937 rng(99);
  const char* patterns[] = {"",    "DD MON YY", "DAY MON YYYY", "YYYY-MM-DD HH:MI:SS",
                            "MON", "SS",        "DDDDDDDD"};
  for (int round = 0; round < 3000; ++round) {
    std::string text = RandomBytes(rng, rng() % 40);
    if (round % 2) {
      for (char& ch : text) ch = "0123456789 :-janfebMARdec"[rng() % 25];
    }
    std::time_t t = ParseDatePattern(text, patterns[rng() % 7]);
    if (t != -1) {
      EXPECT_FALSE(FormatDateTime(t, true).empty());
    }
  }
}

TEST(UtilRobustness, PumpMessagesRunsTheHookOnceAndNeverReentersIt) {
  PumpMessages();  // no hook: nothing happens
  int calls = 0;
  int lastWait = -1;
  PumpHook previous = SetPumpHook([&](int maxWaitMs) {
    ++calls;
    lastWait = maxWaitMs;
    PumpMessages();  // a nested pump from inside the loop is ignored
  });
  PumpMessages();
  PumpMessages();
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(lastWait, 0);
  SetPumpHook(previous);
  PumpMessages();
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace tolmi

#include "util/Scramble.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace tolmi {
namespace {

TEST(Scramble, KnownOutputForAsciiPasswords) {
  // 'a' = 97: 97^0x5A = 59 -> "059"; 'b' = 98: (98^30)+1 = 125 -> "125";
  // 'c' = 99: (99^31)+2 = 126 -> "126".
  EXPECT_EQ(ScrambleText("abc"), "059125126");
  EXPECT_EQ(UnscrambleText("059125126"), "abc");
  EXPECT_EQ(ScrambleText(""), "");
  EXPECT_EQ(UnscrambleText(""), "");
}

TEST(Scramble, NegativeGroupsFromHighBytesDecode) {
  // 0x80 at position 0: -128 ^ 0x5A = -38, written "-38".
  EXPECT_EQ(ScrambleText("\x80"), "-38");
  EXPECT_EQ(UnscrambleText("-38"), "\x80");
}

TEST(Scramble, EveryByteValueRoundTripsAtEveryPosition) {
  for (int lead = 0; lead < 40; ++lead) {
    std::string text(lead, 'p');
    for (int b = 1; b <= 255; ++b) text.push_back(static_cast<char>(b));
    const std::string scrambled = ScrambleText(text);
    ASSERT_EQ(scrambled.size(), text.size() * 3);
    EXPECT_EQ(UnscrambleText(scrambled), text) << "lead " << lead;
  }
}

TEST(Scramble, LongTextsRoundTrip) {
  std::mt19937 rng(7);
  std::string text;
  for (int i = 0; i < 5000; ++i) text.push_back(static_cast<char>(rng() & 0xFF));
  const std::string scrambled = ScrambleText(text);
  EXPECT_EQ(scrambled.size(), 15000u);
  EXPECT_EQ(UnscrambleText(scrambled), text);
}

TEST(Scramble, BadInputGivesWhatCanBeRead) {
  EXPECT_EQ(UnscrambleText("05912512"), "ab");   // trailing partial group ignored
  EXPECT_EQ(UnscrambleText("059zzz126"), "ac");  // a malformed group is skipped
  EXPECT_EQ(UnscrambleText("059-9X"), "a");      // short tail
  EXPECT_EQ(UnscrambleText("XZZ125"), "b");      // bad hex group skipped
  EXPECT_EQ(UnscrambleText("999"), "");          // no byte scrambles to 999 at position 0
  EXPECT_EQ(UnscrambleText("5 9"), "");
}

TEST(Scramble, RandomInputNeverBreaksUnscramble) {
  std::mt19937 rng(99);
  const char digits[] = "0123456789-X AF";
  for (int round = 0; round < 3000; ++round) {
    std::string junk;
    const int length = static_cast<int>(rng() % 50);
    for (int i = 0; i < length; ++i) {
      junk.push_back(round % 2 ? static_cast<char>(rng() & 0xFF) : digits[rng() % 15]);
    }
    const std::string out = UnscrambleText(junk);
    EXPECT_LE(out.size(), junk.size() / 3);
    // Whatever it gives scrambles back to a text of the same length.
    EXPECT_EQ(UnscrambleText(ScrambleText(out)), out);
  }
}

}  // namespace
}  // namespace tolmi

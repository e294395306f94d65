// Showing stored bytes as UTF-8 and writing edits back in the encoding they came in.
#include <gtest/gtest.h>

#include "util/TextEncoding.h"

namespace tolmi {
namespace {

TEST(TextEncodingTest, Windows1252HighRangeMapsToItsCharacters) {
  struct Row {
    unsigned char byte;
    const char* utf8;
  };
  const Row rows[] = {
      {0x80, "\u20AC"}, {0x85, "\u2026"}, {0x8A, "\u0160"}, {0x92, "\u2019"}, {0x96, "\u2013"},
      {0x99, "\u2122"}, {0x9F, "\u0178"}, {0xA0, "\u00A0"}, {0xA9, "\u00A9"}, {0xE9, "\u00E9"},
      {0xFF, "\u00FF"}, {0x81, "\xC2\x81"}, {0x8D, "\xC2\x8D"}, {0x8F, "\xC2\x8F"},
      {0x90, "\xC2\x90"}, {0x9D, "\xC2\x9D"},
  };
  for (const Row& r : rows) {
    const std::string byte(1, static_cast<char>(r.byte));
    EXPECT_EQ(DecodeForDisplay(byte), r.utf8) << int(r.byte);
    EXPECT_EQ(Utf8ToWindows1252(r.utf8), byte) << int(r.byte);
  }
}

TEST(TextEncodingTest, EveryByteTextComesBackUnchanged) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::vector<std::string> texts = {
      all,
      "",
      "plain ASCII",
      "Caf\xE9 \x80 5",                  // Windows-1252
      "Caf\xC3\xA9 \xE2\x82\xAC 5",      // the same as UTF-8
      "\xE6\xBC\xA2\xE5\xAD\x97",        // UTF-8 with no Windows-1252 form
      "cut \xE2\x82",                    // a cut-off sequence: not UTF-8
      "\xC0\xAF overlong",               // overlong "/"
      "\xED\xA0\x80 surrogate",          // U+D800
      "\xF4\x90\x80\x80 too high",       // above U+10FFFF
      "Copyright\xA9" "2000",
  };
  for (const std::string& bytes : texts) {
    const std::string shown = DecodeForDisplay(bytes);
    EXPECT_TRUE(IsValidUtf8(shown)) << bytes;
    EXPECT_EQ(EncodeFromDisplay(shown, IsUtf8Text(bytes)), bytes) << bytes;
  }
  EXPECT_FALSE(IsValidUtf8("cut \xE2\x82"));
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));
  EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x8D\xB5"));
  EXPECT_FALSE(IsUtf8Text("ascii"));
}

TEST(TextEncodingTest, EditsAreWrittenInTheEncodingTheyCameIn) {
  // An edit of Windows-1252 text stays Windows-1252; of UTF-8 text stays UTF-8.
  EXPECT_EQ(EncodeFromDisplay("Caf\u00E9 \u20AC", false), "Caf\xE9 \x80");
  EXPECT_EQ(EncodeFromDisplay("Caf\u00E9 \u20AC", true), "Caf\xC3\xA9 \xE2\x82\xAC");
  // A character with no Windows-1252 form keeps the whole text as UTF-8.
  EXPECT_EQ(EncodeFromDisplay("Caf\u00E9 \u6F22", false), "Caf\xC3\xA9 \xE6\xBC\xA2");
  EXPECT_EQ(Utf8ToWindows1252("\u6F22"), std::nullopt);
  EXPECT_EQ(Utf8ToWindows1252("bad \xFF"), std::nullopt);
}

}  // namespace
}  // namespace tolmi

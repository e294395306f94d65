// Byte codings: Base64, the password scrambling, Windows-1252/UTF-8 display, and the version.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "util/Base64.h"
#include "util/Scramble.h"
#include "util/TextEncoding.h"
#include "util/Version.h"

namespace tolmi {
namespace {

TEST(Base64Test, EncodesWithPadding) {
  EXPECT_EQ(Base64Encode(""), "");
  EXPECT_EQ(Base64Encode("a"), "YQ==");
  EXPECT_EQ(Base64Encode("ab"), "YWI=");
  EXPECT_EQ(Base64Encode("abc"), "YWJj");
  EXPECT_EQ(Base64Encode("abcd"), "YWJjZA==");
  // The Basic authorization value of a proxy user.
  EXPECT_EQ(Base64Encode("Aladdin:open sesame"), "QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
  // High bytes and NUL use the whole alphabet, "+" and "/" included.
  EXPECT_EQ(Base64Encode(std::string("\xFB\xFF\x00\x3E", 4)), "+/8APg==");
}

TEST(Base64Test, DecodesWhatItEncodes) {
  std::mt19937 rng(7);
  for (int len = 0; len < 200; ++len) {
    std::string bytes;
    for (int i = 0; i < len; ++i) bytes += char(rng() & 0xFF);
    EXPECT_EQ(Base64Decode(Base64Encode(bytes)), bytes) << len;
  }
}

TEST(Base64Test, DecodeAcceptsLineBreaksAndMissingPadding) {
  EXPECT_EQ(Base64Decode("YWJj\r\nZA=="), "abcd");
  EXPECT_EQ(Base64Decode("YWI"), "ab");
}

TEST(Base64Test, DecodeRejectsMalformedText) {
  EXPECT_FALSE(Base64Decode("YWJ*"));      // not in the alphabet
  EXPECT_FALSE(Base64Decode("Y"));         // a lone digit cannot come from any bytes
  EXPECT_FALSE(Base64Decode("YQ==YQ=="));  // data after the padding
  EXPECT_FALSE(Base64Decode("YQ="));       // padding that does not fill the group
  EXPECT_FALSE(Base64Decode("===="));
  EXPECT_FALSE(Base64Decode(std::string("YW\0j", 4)));
}

TEST(Scramble, KnownOutputForAsciiAndHighBytes) {
  // 'a' = 97: 97^0x5A = 59 -> "059"; 'b' = 98: (98^30)+1 = 125 -> "125";
  // 'c' = 99: (99^31)+2 = 126 -> "126".
  EXPECT_EQ(ScrambleText("abc"), "059125126");
  EXPECT_EQ(UnscrambleText("059125126"), "abc");
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
  // Far positions take the "X" hex groups.
  std::mt19937 rng(7);
  std::string text;
  for (int i = 0; i < 5000; ++i) text.push_back(static_cast<char>(rng() & 0xFF));
  const std::string scrambled = ScrambleText(text);
  EXPECT_EQ(scrambled.size(), 15000u);
  EXPECT_NE(scrambled.find('X'), std::string::npos);
  EXPECT_EQ(UnscrambleText(scrambled), text);
}

TEST(Scramble, BadInputGivesWhatCanBeRead) {
  EXPECT_EQ(UnscrambleText("05912512"), "ab");   // trailing partial group ignored
  EXPECT_EQ(UnscrambleText("059zzz126"), "ac");  // a malformed group is skipped
  EXPECT_EQ(UnscrambleText("059-9X"), "a");      // short tail
  EXPECT_EQ(UnscrambleText("XZZ125"), "b");      // bad hex group skipped
  EXPECT_EQ(UnscrambleText("999"), "");          // no byte scrambles to 999 at position 0
}

TEST(TextEncodingTest, Windows1252HighRangeMapsToItsCharacters) {
  struct Row {
    unsigned char byte;
    const char* utf8;
  };
  const Row rows[] = {
      {0x80, "\u20AC"},   {0x85, "\u2026"},   {0x8A, "\u0160"},   {0x92, "\u2019"},
      {0x96, "\u2013"},   {0x99, "\u2122"},   {0x9F, "\u0178"},   {0xA0, "\u00A0"},
      {0xA9, "\u00A9"},   {0xE9, "\u00E9"},   {0xFF, "\u00FF"},   {0x81, "\xC2\x81"},
      {0x8D, "\xC2\x8D"}, {0x8F, "\xC2\x8F"}, {0x90, "\xC2\x90"}, {0x9D, "\xC2\x9D"},
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
      "Caf\xE9 \x80 5",              // Windows-1252
      "Caf\xC3\xA9 \xE2\x82\xAC 5",  // the same as UTF-8
      "\xE6\xBC\xA2\xE5\xAD\x97",    // UTF-8 with no Windows-1252 form
      "cut \xE2\x82",                // a cut-off sequence: not UTF-8
      "\xC0\xAF overlong",           // overlong "/"
      "\xED\xA0\x80 surrogate",      // U+D800
      "\xF4\x90\x80\x80 too high",   // above U+10FFFF
      "Copyright\xA9"
      "2000",
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

TEST(Version, NumberAndTextFromTheFourParts) {
  EXPECT_EQ(VersionNumber(), 2034361);
  EXPECT_EQ(VersionText(), "2.09.003");
  EXPECT_EQ(VersionText({2, 1, 5, 12}), "2.01.005");
}

}  // namespace
}  // namespace tolmi

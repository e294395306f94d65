#include "util/Base64.h"

#include <gtest/gtest.h>

#include <random>

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
    std::string encoded = Base64Encode(bytes);
    ASSERT_EQ(encoded.size(), (bytes.size() + 2) / 3 * 4);
    auto decoded = Base64Decode(encoded);
    ASSERT_TRUE(decoded.has_value()) << encoded;
    EXPECT_EQ(*decoded, bytes);
  }
}

TEST(Base64Test, DecodeAcceptsLineBreaksAndMissingPadding) {
  EXPECT_EQ(Base64Decode("YWJj\r\nZA=="), "abcd");
  EXPECT_EQ(Base64Decode("YWI"), "ab");
  EXPECT_EQ(Base64Decode(""), "");
}

TEST(Base64Test, DecodeRejectsMalformedText) {
  EXPECT_FALSE(Base64Decode("YWJ*"));      // not in the alphabet
  EXPECT_FALSE(Base64Decode("Y"));         // a lone digit cannot come from any bytes
  EXPECT_FALSE(Base64Decode("YQ==YQ=="));  // data after the padding
  EXPECT_FALSE(Base64Decode("YQ="));       // padding that does not fill the group
  EXPECT_FALSE(Base64Decode("===="));
  EXPECT_FALSE(Base64Decode(std::string("YW\0j", 4)));
}

}  // namespace
}  // namespace tolmi

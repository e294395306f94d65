#include "util/PackedFile.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "tests/support/TestHome.h"

namespace tolmi {
namespace {

std::string Header(std::uint32_t magic, std::uint32_t length) {
  std::string h;
  for (std::uint32_t v : {magic, length})
    for (int i = 0; i < 4; ++i) h.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return h;
}

std::string Compressed(std::string_view text) {
  uLongf size = compressBound(static_cast<uLong>(text.size()));
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
           static_cast<uLong>(text.size()));
  out.resize(size);
  return out;
}

TEST(PackedFile, LayoutIsHeaderLengthAndZlibStream) {
  std::string packed = PackText("domain=1\r\n");
  ASSERT_GE(packed.size(), 8u);
  EXPECT_EQ(packed.substr(0, 4), std::string("\x1A\x6A\xE7\x01", 4));
  EXPECT_EQ(packed.substr(4, 4), std::string("\x0A\x00\x00\x00", 4));
  EXPECT_TRUE(IsPackedText(packed));
  EXPECT_FALSE(IsPackedText("domain=1"));
  // A file made by another zlib user reads the same.
  EXPECT_EQ(UnpackText(Header(kPackedFileMagic, 10) + Compressed("domain=1\r\n")),
            std::string("domain=1\r\n"));
}

TEST(PackedFile, RoundTripsThroughFilesIncludingEmptyAndBinaryText) {
  test::TestHome home;
  std::string big;
  for (int i = 0; i < 50000; ++i) big += "line " + std::to_string(i) + "\r\n";
  for (const std::string& text : {std::string(), std::string("a\0b\xff", 4), big}) {
    std::string path = (home / "cc.dat").string();
    ASSERT_TRUE(WritePackedFile(path, text).ok());
    auto read = ReadPackedFile(path);
    ASSERT_TRUE(read);
    EXPECT_TRUE(*read == text) << text.size();
  }
  EXPECT_FALSE(ReadPackedFile((home / "missing.dat").string()));
}

TEST(PackedFile, DamagedFilesAreRefused) {
  std::string stream = Compressed("hello world");
  // Wrong header number; plain text.
  EXPECT_FALSE(UnpackText(Header(0x01E76A1B, 11) + stream));
  EXPECT_FALSE(UnpackText("hello world"));
  EXPECT_FALSE(UnpackText(""));
  EXPECT_FALSE(UnpackText(Header(kPackedFileMagic, 11).substr(0, 6)));
  // A negative length, and lengths no stream of this size could fill.
  EXPECT_FALSE(UnpackText(Header(kPackedFileMagic, 0x80000000u) + stream));
  EXPECT_FALSE(UnpackText(Header(kPackedFileMagic, 0x7FFFFFFFu) + stream));
  EXPECT_FALSE(UnpackText(Header(kPackedFileMagic, 1000000) + stream));
  // The stream holds more than the stated length.
  EXPECT_FALSE(UnpackText(Header(kPackedFileMagic, 5) + stream));
  // A cut or damaged stream.
  EXPECT_FALSE(UnpackText(Header(kPackedFileMagic, 11) + stream.substr(0, stream.size() - 3)));
  std::string flipped = stream;
  flipped[flipped.size() / 2] ^= 0x55;
  EXPECT_FALSE(UnpackText(Header(kPackedFileMagic, 11) + flipped));
  EXPECT_FALSE(UnpackText(Header(kPackedFileMagic, 11)));
  // A stated length above the real one is accepted as long as the stream is whole.
  EXPECT_EQ(UnpackText(Header(kPackedFileMagic, 20) + stream), std::string("hello world"));
}

}  // namespace
}  // namespace tolmi

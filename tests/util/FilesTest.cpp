#include "util/Files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <filesystem>
#include <sstream>
#include <vector>

#include "tests/support/TestHome.h"
#include "util/PackedFile.h"

namespace tolmi {
namespace {

using test::TestHome;

std::vector<std::string> AllLines(LineReader reader, bool raw = false) {
  std::vector<std::string> lines;
  std::string line;
  while (raw ? reader.NextRaw(line) : reader.Next(line)) lines.push_back(line);
  return lines;
}

TEST(LineReader, TrimsLineEndsAndTrailingSpacesButKeepsLeadingOnes) {
  LineReader reader("KEY=value  \r\n  indented\nlast line without end");
  EXPECT_EQ(AllLines(reader),
            (std::vector<std::string>{"KEY=value", "  indented", "last line without end"}));
  EXPECT_EQ(AllLines(LineReader("a\r\n\r\nb\n"), true),
            (std::vector<std::string>{"a\r\n", "\r\n", "b\n"}));
  EXPECT_TRUE(AllLines(LineReader("")).empty());
  // Empty lines are lines; a final LF does not make one more.
  EXPECT_EQ(AllLines(LineReader("\n\nx\n")), (std::vector<std::string>{"", "", "x"}));
  // A NUL at the start of a line is dropped, one inside it kept.
  EXPECT_EQ(AllLines(LineReader(std::string("\0abc\nde\0f\n", 10))),
            (std::vector<std::string>{"abc", std::string("de\0f", 4)}));
}

TEST(LineReader, LongLineComesOutInPiecesOfTheLimitWithNothingLost) {
  std::string longLine(kMaxLineLength * 2 + 10, 'x');
  for (std::size_t i = 0; i < longLine.size(); ++i) longLine[i] = static_cast<char>('a' + i % 26);
  LineReader reader(longLine + "\r\nnext\n");
  std::vector<std::string> lines = AllLines(reader);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].size(), kMaxLineLength);
  EXPECT_EQ(lines[1].size(), kMaxLineLength);
  EXPECT_TRUE(lines[0] + lines[1] + lines[2] == longLine);
  EXPECT_EQ(lines[3], "next");

  // A line of exactly the limit followed by CR LF stays one line.
  std::string exact(kMaxLineLength, 'q');
  EXPECT_TRUE(AllLines(LineReader(exact + "\r\nz")) == (std::vector<std::string>{exact, "z"}));
}

TEST(LineReader, FilesAreReadWholeOrReportedMissing) {
  TestHome home;
  home.Write("a.txt", "one\r\ntwo\n");
  auto reader = LineReader::Open((home / "a.txt").string());
  ASSERT_TRUE(reader);
  EXPECT_EQ(AllLines(*reader), (std::vector<std::string>{"one", "two"}));
  EXPECT_FALSE(LineReader::Open((home / "missing.txt").string()));
  EXPECT_FALSE(LineReader::Open(home.path().string()));  // a folder is not a file
  EXPECT_FALSE(LineReader::Open(""));

  std::string bytes("x\0y\r\n\xff", 6);
  home.Write("b.bin", bytes);
  auto read = ReadWholeFile((home / "b.bin").string());
  ASSERT_TRUE(read);
  EXPECT_EQ(*read, bytes);
  home.Write("empty", "");
  EXPECT_EQ(ReadWholeFile((home / "empty").string()), std::string());
  EXPECT_FALSE(ReadWholeFile((home / "nope").string()));
}

TEST(ResolveExistingPath, FallsBackToCaseInsensitiveMatchPerComponent) {
  TestHome home;
  home.Write("template/Invoices/New Invoice.html", "inv");
  std::string root = home.path().string();

  EXPECT_EQ(ResolveExistingPath(root + "/Template/invoices/new invoice.HTML"),
            root + "/template/Invoices/New Invoice.html");
  EXPECT_EQ(ResolveExistingPath(root + "\\TEMPLATE\\Invoices\\New Invoice.html"),
            root + "/template/Invoices/New Invoice.html");
  // Existing prefix resolved, the missing rest kept as given (a file about to be created).
  EXPECT_EQ(ResolveExistingPath(root + "/Template/Invoices/Other.html"),
            root + "/template/Invoices/Other.html");
  EXPECT_EQ(ResolveExistingPath(root + "/Nothing\\Here.txt"), root + "/Nothing/Here.txt");
  // The readers use the fallback.
  EXPECT_EQ(ReadWholeFile(root + "/TEMPLATE/INVOICES/NEW INVOICE.HTML"), std::string("inv"));
  EXPECT_TRUE(FileExists(root + "\\Template"));
  EXPECT_TRUE(IsDirectory(root + "/TEMPLATE/invoices"));
  EXPECT_FALSE(IsDirectory(root + "/template/Invoices/New Invoice.html"));
  EXPECT_EQ(FileSize(root + "/template/invoices/new invoice.html"), 3u);
  EXPECT_EQ(FileSize(root + "/none"), 0u);
  struct stat st;
  ASSERT_EQ(::stat((root + "/template").c_str(), &st), 0);
  EXPECT_EQ(FileStamp(root + "/TEMPLATE"), static_cast<std::uint32_t>(st.st_mtime));
  EXPECT_EQ(FileStamp(root + "/none"), 0u);
}

TEST(ResolveExistingPath, PrefersTheExactNameWhenSeveralMatch) {
  TestHome home;
  home.Write("Data/a.txt", "upper");
  home.Write("data/a.txt", "lower");
  std::string root = home.path().string();
  EXPECT_EQ(ReadWholeFile(root + "/data/a.txt"), std::string("lower"));
  EXPECT_EQ(ReadWholeFile(root + "/Data/a.txt"), std::string("upper"));
  // No exact match: the first in byte order ("Data" before "data").
  EXPECT_EQ(ReadWholeFile(root + "/DATA/A.TXT"), std::string("upper"));
}

class AtomicWrite : public ::testing::Test {
 protected:
  void TearDown() override { SetAtomicWriteFaultForTesting(-1); }
  // Files in the home other than the ones named (left-over temporary files).
  static std::vector<std::string> Entries(const TestHome& home) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(home.path()))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  TestHome home;
};

// Replaced in place: no temporary file left, the old mode kept, a link followed, and the
// longest file names saved.
TEST_F(AtomicWrite, ReplacesTheFileKeepingItsModeAndLinks) {
  std::string target = (home / "secret.ini").string();
  home.Write("secret.ini", "old\n");
  ::chmod(target.c_str(), 0600);
  ASSERT_TRUE(WriteFileAtomic(target, "new\n").ok());
  EXPECT_EQ(home.Read("secret.ini"), "new\n");
  EXPECT_EQ(Entries(home), std::vector<std::string>{"secret.ini"});
  struct stat st;
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  std::filesystem::create_symlink(home / "secret.ini", home / "link.ini");
  ASSERT_TRUE(WriteFileAtomic((home / "link.ini").string(), "via link").ok());
  EXPECT_TRUE(std::filesystem::is_symlink(home / "link.ini"));
  EXPECT_EQ(home.Read("secret.ini"), "via link");
  std::string name(255, 'n');
  Status s = WriteFileAtomic((home / name).string(), "x");
  ASSERT_TRUE(s.ok()) << s.message();
  EXPECT_EQ(home.Read(name), "x");
}

TEST_F(AtomicWrite, FailedWriteLeavesTheOldFileUntouched) {
  std::string target = (home / "orders.ost").string();
  home.Write("orders.ost", "precious orders\n");
  SetAtomicWriteFaultForTesting(10);
  Status s = WriteFileAtomic(target, std::string(100000, 'z'));
  EXPECT_EQ(s.kind(), ErrorKind::Io);
  EXPECT_NE(s.message().find("orders.ost"), std::string::npos) << s.message();
  EXPECT_EQ(home.Read("orders.ost"), "precious orders\n");
  EXPECT_EQ(Entries(home), std::vector<std::string>{"orders.ost"});
}

TEST_F(AtomicWrite, StreamingFormCommitsOrIsDropped) {
  std::string target = (home / "big.txt").string();
  home.Write("big.txt", "before");
  std::ostringstream expected;
  {
    AtomicFile file(target);
    ASSERT_TRUE(file.ok());
    for (int i = 0; i < 20000; ++i) file.Printf("line %d\n", i);
    // Dropped without Commit: nothing changes.
  }
  EXPECT_EQ(home.Read("big.txt"), "before");
  AtomicFile file(target);
  for (int i = 0; i < 20000; ++i) {
    file.Printf("line %d\n", i);
    expected << "line " << i << "\n";
  }
  ASSERT_TRUE(file.Commit().ok());
  EXPECT_EQ(home.Read("big.txt"), expected.str());
  EXPECT_EQ(Entries(home), std::vector<std::string>{"big.txt"});
}

TEST_F(AtomicWrite, MissingFolderOrFolderInTheWayIsAnIoError) {
  Status s = WriteFileAtomic((home / "no/such/dir/file.txt").string(), "x");
  EXPECT_EQ(s.kind(), ErrorKind::Io);
  std::filesystem::create_directory(home / "taken");
  home.Write("taken/inside.txt", "keep");
  s = WriteFileAtomic((home / "taken").string(), "x");
  EXPECT_EQ(s.kind(), ErrorKind::Io);
  EXPECT_EQ(home.Read("taken/inside.txt"), "keep");
  EXPECT_EQ(Entries(home), std::vector<std::string>{"taken"});
  EXPECT_EQ(WriteFileAtomic("", "x").kind(), ErrorKind::InvalidArgument);
}

TEST(ForEachLine, PlainAndPackedFilesGiveTheSameLines) {
  TestHome home;
  home.Write("plain.dat", "alpha\r\nbeta\n\ngamma");
  home.Write("packed.dat", PackText("alpha\r\nbeta\r\n\r\ngamma\r\n"));
  for (const char* name : {"plain.dat", "packed.dat"}) {
    std::vector<std::string> seen;
    int sum = ForEachLine((home / name).string(), [&](std::string_view line) {
      seen.emplace_back(line);
      return 2;
    });
    std::vector<std::string> expected = {"alpha", "beta", "gamma"};
    if (std::string(name) == "plain.dat") expected.insert(expected.begin() + 2, "");
    EXPECT_EQ(seen, expected) << name;
    EXPECT_EQ(sum, static_cast<int>(expected.size()) * 2) << name;
  }
  EXPECT_EQ(ForEachLine((home / "missing").string(), [](std::string_view) { return 1; }), 0);
}

TEST(WriteFormatted, WritesLongTextsAndIgnoresNullFile) {
  TestHome home;
  std::string path = (home / "out.txt").string();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(f);
  std::string big(5000, 'b');
  EXPECT_EQ(WriteFormatted(f, "%s=%i\n", "key", 42), 7);
  EXPECT_EQ(WriteFormatted(f, "%s\n", big.c_str()), 5001);
  std::fclose(f);
  EXPECT_EQ(home.Read("out.txt"), "key=42\n" + big + "\n");
  EXPECT_EQ(WriteFormatted(static_cast<std::FILE*>(nullptr), "x"), -1);
  std::ostringstream out;
  WriteFormatted(out, "%05.1f|%-3s|", 2.5, "a");
  EXPECT_EQ(out.str(), "002.5|a  |");
}

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
  const std::string stream = Compressed("hello world");
  std::string flipped = stream;
  flipped[flipped.size() / 2] ^= 0x55;
  const std::string refused[] = {
      Header(0x01E76A1B, 11) + stream,  // wrong header number
      "hello world", "", Header(kPackedFileMagic, 11).substr(0, 6),
      // A negative length, and lengths no stream of this size could fill.
      Header(kPackedFileMagic, 0x80000000u) + stream,
      Header(kPackedFileMagic, 0x7FFFFFFFu) + stream, Header(kPackedFileMagic, 1000000) + stream,
      Header(kPackedFileMagic, 5) + stream,  // the stream holds more than the stated length
      Header(kPackedFileMagic, 11) + stream.substr(0, stream.size() - 3),  // cut, damaged, missing
      Header(kPackedFileMagic, 11) + flipped, Header(kPackedFileMagic, 11)};
  for (const std::string& bytes : refused) EXPECT_FALSE(UnpackText(bytes)) << (&bytes - refused);
  // A stated length above the real one is accepted as long as the stream is whole.
  EXPECT_EQ(UnpackText(Header(kPackedFileMagic, 20) + stream), std::string("hello world"));
}

}  // namespace
}  // namespace tolmi

#include "util/Files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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
  lines = AllLines(LineReader(exact + "\r\nz"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0] == exact);
  EXPECT_EQ(lines[1], "z");
}

TEST(LineReader, LeadingNulIsDroppedInnerNulKept) {
  std::string bytes("\0abc\nde\0f\n", 10);
  std::vector<std::string> lines = AllLines(LineReader(bytes));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "abc");
  EXPECT_EQ(lines[1], std::string("de\0f", 4));
}

TEST(LineReader, OpensFilesAndReportsMissingOnes) {
  TestHome home;
  home.Write("a.txt", "one\r\ntwo\n");
  auto reader = LineReader::Open((home / "a.txt").string());
  ASSERT_TRUE(reader);
  EXPECT_EQ(AllLines(*reader), (std::vector<std::string>{"one", "two"}));
  EXPECT_FALSE(LineReader::Open((home / "missing.txt").string()));
  EXPECT_FALSE(LineReader::Open(home.path().string()));  // a folder is not a file
  EXPECT_FALSE(LineReader::Open(""));
}

TEST(ReadWholeFile, ReturnsExactBytesOrNothing) {
  TestHome home;
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

TEST(FileInfo, SizeStampAndMissingFiles) {
  TestHome home;
  home.Write("f.txt", "12345");
  std::string f = (home / "f.txt").string();
  std::filesystem::last_write_time(
      f, std::filesystem::file_time_type::clock::now());  // make sure it is recent
  struct stat st;
  ASSERT_EQ(::stat(f.c_str(), &st), 0);
  EXPECT_EQ(FileStamp(f), static_cast<std::uint32_t>(st.st_mtime));
  EXPECT_NE(FileStamp(f), 0u);
  EXPECT_EQ(FileSize(f), 5u);
  EXPECT_EQ(FileSize((home / "none").string()), 0u);
  EXPECT_EQ(FileStamp((home / "none").string()), 0u);
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(FileExists((home / "none").string()));
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

TEST_F(AtomicWrite, ReplacesTheFileAndLeavesNoTemporaryFile) {
  std::string target = (home / "config.ini").string();
  ASSERT_TRUE(WriteFileAtomic(target, "old\n").ok());
  ASSERT_TRUE(WriteFileAtomic(target, "new\n").ok());
  EXPECT_EQ(home.Read("config.ini"), "new\n");
  EXPECT_EQ(Entries(home), std::vector<std::string>{"config.ini"});
}

TEST_F(AtomicWrite, LongestFileNamesCanBeSaved) {
  std::string name(255, 'n');
  Status s = WriteFileAtomic((home / name).string(), "x");
  ASSERT_TRUE(s.ok()) << s.message();
  EXPECT_EQ(home.Read(name), "x");
}

TEST_F(AtomicWrite, KeepsPermissionsOfTheReplacedFile) {
  std::string target = (home / "secret.ini").string();
  home.Write("secret.ini", "x");
  ::chmod(target.c_str(), 0600);
  ASSERT_TRUE(WriteFileAtomic(target, "y").ok());
  struct stat st;
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(AtomicWrite, SavesThroughASymbolicLink) {
  home.Write("real.ini", "old");
  std::filesystem::create_symlink(home / "real.ini", home / "link.ini");
  ASSERT_TRUE(WriteFileAtomic((home / "link.ini").string(), "new").ok());
  EXPECT_TRUE(std::filesystem::is_symlink(home / "link.ini"));
  EXPECT_EQ(home.Read("real.ini"), "new");
}

TEST_F(AtomicWrite, FailedWriteLeavesTheOldFileUntouched) {
  std::string target = (home / "orders.ost").string();
  home.Write("orders.ost", "precious orders\n");
  SetAtomicWriteFaultForTesting(10);
  Status s = WriteFileAtomic(target, std::string(100000, 'z'));
  EXPECT_FALSE(s.ok());
  EXPECT_EQ(s.kind(), ErrorKind::Io);
  EXPECT_NE(s.message().find("orders.ost"), std::string::npos) << s.message();
  EXPECT_EQ(home.Read("orders.ost"), "precious orders\n");
  EXPECT_EQ(Entries(home), std::vector<std::string>{"orders.ost"});
}

TEST_F(AtomicWrite, StreamingFormCommitsOrRollsBack) {
  std::string target = (home / "big.txt").string();
  home.Write("big.txt", "before");
  {
    AtomicFile file(target);
    ASSERT_TRUE(file.ok());
    for (int i = 0; i < 20000; ++i) file.Printf("line %d\n", i);
    // Dropped without Commit: nothing changes.
  }
  EXPECT_EQ(home.Read("big.txt"), "before");
  EXPECT_EQ(Entries(home), std::vector<std::string>{"big.txt"});

  AtomicFile file(target);
  std::ostringstream expected;
  for (int i = 0; i < 20000; ++i) {
    file.Printf("line %d\n", i);
    expected << "line " << i << "\n";
  }
  ASSERT_TRUE(file.Commit().ok());
  EXPECT_EQ(home.Read("big.txt"), expected.str());

  SetAtomicWriteFaultForTesting(70000);
  AtomicFile failing(target);
  for (int i = 0; i < 20000; ++i) failing.Printf("other %d\n", i);
  EXPECT_FALSE(failing.Commit().ok());
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

}  // namespace
}  // namespace tolmi

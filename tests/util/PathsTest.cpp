#include "util/Paths.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>

#include "tests/support/TestHome.h"
#include "util/Files.h"
#include "util/Version.h"

namespace tolmi {
namespace {

using test::TestHome;

TEST(UniqueFileName, VariesTheNameBeforeItsExtension) {
  EXPECT_EQ(UniqueFileName("12.htm", 1), "12(1).htm");
  EXPECT_EQ(UniqueFileName("12(1).htm", 2), "12(2).htm");
  EXPECT_EQ(UniqueFileName("readme", 3), "readme(3)");
  EXPECT_EQ(UniqueFileName("readme(9)", 10), "readme(10)");
  EXPECT_EQ(UniqueFileName("a.tar.gz", 1), "a.tar(1).gz");
  // Only a group of digits in brackets is removed, and only the last one.
  EXPECT_EQ(UniqueFileName("shop (2010)(4).htm", 5), "shop (2010)(5).htm");
  EXPECT_EQ(UniqueFileName("x(a).htm", 1), "x(a)(1).htm");
  EXPECT_EQ(UniqueFileName("x().htm", 1), "x()(1).htm");
  // A dot in the folder part is not the extension's.
  EXPECT_EQ(UniqueFileName("web.d/index", 1), "web.d/index(1)");
  EXPECT_EQ(UniqueFileName("c:\\web.d\\a.htm", 2), "c:\\web.d\\a(2).htm");
  EXPECT_EQ(UniqueFileName("", 1), "(1)");
}

TEST(MakeUniquePath, FirstFreeVariant) {
  TestHome home;
  std::string a = (home / "a.htm").string();
  EXPECT_EQ(MakeUniquePath(a), a);
  home.Write("a.htm", "");
  EXPECT_EQ(MakeUniquePath(a), (home / "a(1).htm").string());
  home.Write("a(1).htm", "");
  EXPECT_EQ(MakeUniquePath(a), (home / "a(2).htm").string());
  // A trailing separator is removed first; folders count as taken.
  home.Write("web/x", "");
  EXPECT_EQ(MakeUniquePath((home / "web").string() + "/"), (home / "web(1)").string());
}

TEST(NormalisePath, SeparatorsDotsAndParents) {
  const std::pair<const char*, const char*> normalised[] = {
      {"c:\\web\\\\shop/img//a.gif", "c:/web/shop/img/a.gif"},
      {"\\\\server\\share\\\\x", "//server/share/x"},
      {"///x", "//x"},
      {"", ""}};
  for (const auto& [in, out] : normalised) EXPECT_EQ(NormalisePath(in), out) << in;
  const std::pair<const char*, const char*> resolved[] = {
      {"a/b/../c", "a/c"},   {"a/./b/./c", "a/b/c"}, {"a/b/c/../../d", "a/d"},
      {"../x/../y", "../y"}, {"/../x", "/x"},        {"a/b/..", "a"},
      {"a/b/../", "a/"},     {"a/..b/c", "a/..b/c"}};
  for (const auto& [in, out] : resolved) EXPECT_EQ(ResolveParentSegments(in, '/'), out) << in;
  EXPECT_EQ(ResolveParentSegments("a\\b\\..\\c", '\\'), "a\\c");
  EXPECT_EQ(JoinPath("Projects/Shop", "Template\\tolmi.js"), "Projects/Shop/Template/tolmi.js");
  EXPECT_EQ(JoinPath("Projects/Shop/", "../Other/a.stp"), "Projects/Other/a.stp");
  EXPECT_EQ(JoinPath("", "a\\b"), "a/b");
  EXPECT_EQ(JoinPath("a", ""), "a");
  EXPECT_EQ(JoinPath("", ""), "");
}

TEST(CreateDirectoryPath, CreatesLevelsReportsExistingAndFailures) {
  TestHome home;
  std::string deep = (home / "x").string() + "\\y/z";
  EXPECT_EQ(CreateDirectoryPath(deep), 1);
  EXPECT_TRUE(IsDirectory((home / "x/y/z").string()));
  EXPECT_EQ(CreateDirectoryPath(deep), 183);
  EXPECT_EQ(CreateDirectoryPath(home.path().string() + "/"), 183);
  home.Write("file", "f");
  EXPECT_EQ(CreateDirectoryPath((home / "file/sub").string()), ENOTDIR);
  EXPECT_EQ(CreateDirectoryPath(""), 0);
  // A Windows drive names no folder here.
  EXPECT_EQ(CreateDirectoryPath("C:\\web\\shop"), EINVAL);
}

TEST(RemoveInvalidNameChars, RemovesEveryForbiddenCharacter) {
  std::string name = "\"a\\b/c:d;e'f*g?h<i>j|k.stp";
  EXPECT_TRUE(RemoveInvalidNameChars(name));
  EXPECT_EQ(name, "abcdefghijk.stp");
  name = "fine name.txt";
  EXPECT_FALSE(RemoveInvalidNameChars(name));
  EXPECT_EQ(name, "fine name.txt");
}

TEST(MatchesExtensionList, PatternListsWithoutRegardToCase) {
  EXPECT_TRUE(MatchesExtensionList("index.HTM", "*.htm;*.html"));
  EXPECT_TRUE(MatchesExtensionList("a.b.html", "*.htm;*.html"));
  EXPECT_TRUE(MatchesExtensionList("x.gif", "jpg, gif"));
  EXPECT_FALSE(MatchesExtensionList("x.shtml", "*.htm;*.html"));
  EXPECT_FALSE(MatchesExtensionList("htm", "*.htm"));
  EXPECT_FALSE(MatchesExtensionList("a.htm", ""));
  EXPECT_FALSE(MatchesExtensionList("a.", "*.htm;;"));
}

TEST(DeleteToRecycleBin, RemovesTheFileOrFolder) {
  TestHome home;
  // Keep the desktop trash inside the test home.
  const char* oldData = std::getenv("XDG_DATA_HOME");
  std::string saved = oldData ? oldData : "";
  ::setenv("XDG_DATA_HOME", (home / "share").string().c_str(), 1);
  home.Write("gone.txt", "x");
  home.Write("dir/inner.txt", "y");
  EXPECT_EQ(DeleteToRecycleBin((home / "gone.txt").string()), 1);
  EXPECT_FALSE(FileExists((home / "gone.txt").string()));
  EXPECT_EQ(DeleteToRecycleBin((home / "dir").string()), 1);
  EXPECT_FALSE(FileExists((home / "dir").string()));
  EXPECT_EQ(DeleteToRecycleBin((home / "never").string()), 0);
  EXPECT_EQ(DeleteToRecycleBin(""), 0);
  if (oldData) {
    ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_DATA_HOME");
  }
}

TEST(DeleteMatchingFiles, DeletesOnlyMatchingFilesInTheFolder) {
  TestHome home;
  home.Write("web/a.htm", "");
  home.Write("web/B.HTM", "");
  home.Write("web/c.html", "");
  home.Write("web/keep.gif", "");
  home.Write("web/sub.htm/inner.htm", "");  // a folder is never deleted
  EXPECT_EQ(DeleteMatchingFiles((home / "web").string() + "\\*.htm"), 2);
  EXPECT_FALSE(FileExists((home / "web/a.htm").string()));
  EXPECT_FALSE(FileExists((home / "web/B.HTM").string()));
  EXPECT_TRUE(FileExists((home / "web/c.html").string()));
  EXPECT_TRUE(FileExists((home / "web/keep.gif").string()));
  EXPECT_TRUE(FileExists((home / "web/sub.htm/inner.htm").string()));
  EXPECT_EQ(DeleteMatchingFiles((home / "web/?eep.*").string()), 1);
  EXPECT_EQ(DeleteMatchingFiles((home / "nowhere/*").string()), 0);
  EXPECT_EQ(DeleteMatchingFiles(""), 0);
}

TEST(FormatVersion, ReplacesEveryPartName) {
  EXPECT_EQ(FormatVersion("Major.MiddleMinorBuild", {2, 1, 5, 12}), "2.010050012");
  EXPECT_EQ(FormatVersion("vMajor.Middle.Minor (Build) Major", {2, 9, 3, 4361}),
            "v2.09.003 (4361) 2");
  EXPECT_EQ(FormatVersion("Major.Middle", {0, 0, 0, 0}), "0.00");
  EXPECT_EQ(FormatVersion("no parts", {2, 9, 3, 4361}), "no parts");
  EXPECT_EQ(FormatVersion("Major.MiddleMinorBuild"), "2.090034361");
}

}  // namespace
}  // namespace tolmi

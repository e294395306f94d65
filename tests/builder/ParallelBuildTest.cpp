// The build on several threads makes what the single-threaded build makes: every
// file byte for byte, the log line for line, the project's recorded page values, and
// the same place to stop when the build is cancelled.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>

#include "builder/BuildDriver.h"
#include "builder/PageFill.h"
#include "project/ProjectFile.h"
#include "schemes/Schemes.h"
#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"
#include "util/Files.h"
#include "util/Strings.h"

namespace tolmi::test {
namespace {

namespace fs = std::filesystem;

// Relative name to bytes of every file below a folder.
std::map<std::string, std::string> Files(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    if (entry.is_regular_file())
      files[fs::relative(entry.path(), dir).string()] =
          ReadWholeFile(entry.path().string()).value_or("?");
  return files;
}

// What one build left behind, with the build folder's name taken out of the log.
struct Built {
  std::map<std::string, std::string> files;
  std::vector<std::string> log;
  std::vector<std::string> shown;  // message texts
  std::string project;             // the project file after the build
  int progressSteps = 0;
};

// An installation (the shipped data) in a temporary home; each build opens the
// project afresh, as a new program run does.
class ParallelBuildTest : public ::testing::Test {
 protected:
  ParallelBuildTest() { fs::copy(SourceDir() / "data", home.path(), fs::copy_options::recursive); }

  // Builds the project file into `web` with `jobs` threads; stopAfter > 0 cancels
  // the build when that many pages have begun.
  Built Build(const std::string& stp, const std::string& web, int jobs, int stopAfter = 0) {
    SchemeList schemes;
    LoadSchemes(schemes, home.path().string());
    const std::vector<StyleRef> styles = SchemeStyleRefs(schemes);
    ProjectFileContext context;
    context.styles = &styles;
    StoreProject project;
    EXPECT_TRUE(ReadProjectFile(project, stp, nullptr, false, context).ok());
    project.settings.projectDir = fs::path(stp).parent_path().string();
    if (project.settings.style)
      if (std::optional<SchemeIndex> at = FindScheme(schemes, *project.settings.style))
        schemes.current = at;
    FakePrompter prompter;
    BuildSession session(project, schemes, prompter);
    session.options.installDir = home.path().string();
    session.options.frameText = ReadWholeFile((home / "template/frame.dat").string());
    session.options.indexText = ReadWholeFile((home / "template/index.dat").string());
    session.options.jobs = jobs;
    session.now = [] { return std::time_t{1700000000}; };
    session.buildDir = (home / web).string();
    Built built;
    session.progressStep = [&] {
      if (++built.progressSteps == stopAfter) session.stop = true;
    };
    RunBuild(session);
    for (std::string line : session.log.lines) {
      ReplaceAll(line, session.buildDir, "WEB");
      built.log.push_back(line);
    }
    for (const Shown& shown : prompter.shown)
      built.shown.push_back(shown.title + ": " + shown.text);
    built.files = Files(home / web);
    built.project = ProjectFileText(project, 1700000000, 2034361);
    ReplaceAll(built.project, session.buildDir, "WEB");
    return built;
  }

  // Pictures may be copied for pages filled ahead of a stop: leave them out.
  static void DropPictures(Built& built) {
    std::erase_if(built.files, [](const auto& file) { return file.first.rfind("img/", 0) == 0; });
  }

  void ExpectSame(const Built& one, const Built& many) {
    EXPECT_EQ(one.log, many.log);
    EXPECT_EQ(one.shown, many.shown);
    EXPECT_EQ(one.progressSteps, many.progressSteps);
    EXPECT_TRUE(one.project == many.project);
    ASSERT_EQ(one.files.size(), many.files.size());
    for (const auto& [name, bytes] : one.files) {
      auto other = many.files.find(name);
      ASSERT_NE(other, many.files.end()) << name;
      EXPECT_TRUE(other->second == bytes) << name;  // not printed: whole pages
    }
  }

  TestHome home;
};

// The sample store afresh, again over the first build's output (which changes nothing in it),
// and cancelled after the fourth page: then the same pages are written, the log ends alike
// with the completion line, and no temporary file of a page filled ahead is left.
TEST_F(ParallelBuildTest, SampleStoreIsTheSameOnOneThreadAndOnFour) {
  const std::string stp = (home / "samples/TeaShop/TeaShop.stp").string();
  Built one = Build(stp, "web1", 1);
  ASSERT_GT(one.files.size(), 10u);
  EXPECT_EQ(one.log.back().rfind("Store Build Complete. (", 0), 0u);
  ExpectSame(one, Build(stp, "web4", 4));
  ExpectSame(one, Build(stp, "web1", 4));

  Built stopped = Build(stp, "stop1", 1, 4);
  Built stoppedFour = Build(stp, "stop4", 4, 4);
  EXPECT_EQ(stopped.progressSteps, 4);
  DropPictures(stopped);
  DropPictures(stoppedFour);
  EXPECT_EQ(stoppedFour.log.back().rfind("Store Build Complete. (", 0), 0u);
  ExpectSame(stopped, stoppedFour);
  for (const auto& [name, bytes] : stoppedFour.files)
    EXPECT_EQ(name.find(".tmp-"), std::string::npos);
}

// A generated store of 1,000 products: categories of shelves, pictures shared by many
// products and some missing, duplicate file names (one right after its first, so
// both are filled before either is written), pages in a folder of their own; built
// afresh and again over the single-threaded build's output.
TEST_F(ParallelBuildTest, ThousandProductStoreIsTheSameOnOneThreadAndOnThree) {
  home.Write("shop/Template/category.htm",
             "<html><title>$PAGETITLE - $STORETITLE</title>$INDEX<h1>$TITLE</h1>$BODY\n"
             "%CategoryList%<PRODUCT1><b>$TITLE</b> $PRICE <img src=\"$IMAGE\"></PRODUCT1>\n"
             "<!-- note --><p>$UPDATED</p></html>\n");
  home.Write("shop/Template/shelf.htm",
             "<h1>$TITLE</h1>$INDEX<SHELF><p>$TITLE $PRICE <a href=\"$ADD\">add</a> $CODE "
             "<img src=\"$IMAGE\"></p>\n</SHELF>");
  home.Write("shop/Template/product.htm",
             "<h1>$TITLE</h1>$INDEX $BODY $PRICE <img src=\"$IMAGE\"> $UPDATED\n");
  for (int i = 0; i < 5; ++i) home.Write("shop/pics/p" + std::to_string(i) + ".gif", "GIF");
  StoreProject project;
  project.settings.storeTitle = "Thousand";
  project.settings.style = StyleRef{"Modern", "Harbour"};
  auto add = [&](StoreNode* parent, NodeKind kind, const std::string& title,
                 const std::string& file) {
    auto node = CreateNode();
    node->kind = kind;
    node->title = title;
    node->file = file;
    return AppendNode(project, parent, std::move(node));
  };
  int made = 0;
  for (int c = 0; c < 10; ++c) {
    const std::string n = std::to_string(c);
    StoreNode* category = add(nullptr, NodeKind::Category, "Category " + n,
                              c == 3   ? "sub\\c3.htm"
                              : c == 7 ? "c1.htm"
                                       : "c" + n + ".htm");
    category->body = "All of " + n;
    for (int s = 0; s < 5; ++s) {
      StoreNode* shelf = add(category, NodeKind::Shelf, "Shelf " + std::to_string(s),
                             "c" + n + "s" + std::to_string(s) + ".htm");
      for (int p = 0; p < 20; ++p, ++made) {
        const std::string m = std::to_string(made);
        StoreNode* product =
            add(shelf, NodeKind::Product, "Product " + m, made == 5 ? "p4.htm" : "p" + m + ".htm");
        product->code = "P" + m;
        product->cost = std::to_string(made % 50) + ".95";
        product->image =
            made % 7 == 0 ? "pics\\missing.gif" : "pics/p" + std::to_string(made % 6) + ".gif";
        product->body = std::string(200, 'b');
      }
    }
  }
  home.Write("shop/Thousand.stp", ProjectFileText(project, 1700000000, 2034361));
  const std::string path = (home / "shop/Thousand.stp").string();
  Built one = Build(path, "web1", 1);
  ASSERT_GT(one.files.size(), 1000u);
  EXPECT_TRUE(one.files.count("sub/c3.htm"));
  EXPECT_TRUE(one.files.count("img/p2.gif"));
  auto logged = [&](const std::string& text) {
    return std::find(one.log.begin(), one.log.end(), text) != one.log.end();
  };
  EXPECT_TRUE(logged("error: c1.htm: duplicate file name in project"));
  EXPECT_TRUE(logged("warning: p0.htm: unable to read image file: 'pics\\missing.gif'"));
  ExpectSame(one, Build(path, "web3", 3));
  ExpectSame(one, Build(path, "web1", 3));
}

TEST(PageFillThreads, FollowsTheSettingAndThePages) {
  EXPECT_EQ(PageFillThreads(1, 1000), 1);
  EXPECT_EQ(PageFillThreads(4, 1000), 4);
  EXPECT_EQ(PageFillThreads(4, 3), 3);
  EXPECT_EQ(PageFillThreads(8, 1), 1);
  EXPECT_GE(PageFillThreads(0, 1000), 1);  // one per core
}

}  // namespace
}  // namespace tolmi::test
